#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "platform/UserInterface.h"

struct RecordedBox {
    QString Text;
    QString Caption;
    TMsgIcon Icon;
};

// Records what the core shows; installs itself as the process's interface while it lives.
class TRecordingUserInterface : public TUserInterface {
public:
    TRecordingUserInterface();
    ~TRecordingUserInterface() override;

    void MessageBox(const QString& text, const QString& caption, TMsgIcon icon) override;
    void StatusAdded(const QString& entry) override { Entries.push_back(entry); }
    void StatusCleared() override { ++Clears; }
    void ServerButtonChanged(const QString& caption) override { ButtonCaptions.push_back(caption); }
    void TrayPictureChanged(int index) override { TrayPictures.push_back(index); }

    std::vector<RecordedBox> Boxes;
    QStringList Entries;
    QStringList ButtonCaptions;
    std::vector<int> TrayPictures;
    int Clears = 0;
    // Run while a box is "open", as a modal box runs a nested loop.
    std::function<void(const RecordedBox&)> OnBox;
};
