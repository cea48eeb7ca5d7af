#pragma once

#include <QString>

enum class TMsgIcon { None, Information, Warning, Error };

// The user-visible side effects the core needs. The window implements it with widgets,
// headless mode with standard output and error, tests with a recorder.
// Called on the main thread only.
class TUserInterface {
public:
    virtual ~TUserInterface() = default;
    // A modal box with a single OK button; returns when the user has closed it.
    // An empty caption means the box has none of its own.
    virtual void MessageBox(const QString& text, const QString& caption, TMsgIcon icon) = 0;
    // A status-log entry was added (it may hold CR LF, shown as two lines).
    virtual void StatusAdded(const QString& entry) { (void)entry; }
    // The status log was emptied by the user.
    virtual void StatusCleared() {}
    virtual void ServerButtonChanged(const QString& caption) { (void)caption; }
    virtual void TrayPictureChanged(int index) { (void)index; }
};

// The process's interface; a silent one until the program entry or a test sets its own.
TUserInterface& UserInterface();
// Not owned; nullptr restores the silent one.
void SetUserInterface(TUserInterface* ui);
