#include "support/RecordingUserInterface.h"

TRecordingUserInterface::TRecordingUserInterface() { SetUserInterface(this); }

TRecordingUserInterface::~TRecordingUserInterface() { SetUserInterface(nullptr); }

void TRecordingUserInterface::MessageBox(const QString& text, const QString& caption, TMsgIcon icon)
{
    Boxes.push_back({text, caption, icon});
    if (OnBox)
        OnBox(Boxes.back());
}
