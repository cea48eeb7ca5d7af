#pragma once

#include <cstdio>

#include "platform/UserInterface.h"

// The user interface of headless mode: every status entry goes to standard output as it is
// added, every message box to standard error, both in UTF-8 and flushed at once.
class THeadlessUserInterface : public TUserInterface {
public:
    explicit THeadlessUserInterface(std::FILE* out = stdout, std::FILE* err = stderr)
        : FOut(out), FErr(err) {}

    void MessageBox(const QString& text, const QString& caption, TMsgIcon icon) override;
    void StatusAdded(const QString& entry) override;

private:
    std::FILE* FOut;
    std::FILE* FErr;
};
