#include "platform/UserInterface.h"

namespace {

class TSilentUserInterface final : public TUserInterface {
public:
    void MessageBox(const QString&, const QString&, TMsgIcon) override {}
};

TSilentUserInterface gSilent;
TUserInterface* gCurrent = &gSilent;

}  // namespace

TUserInterface& UserInterface() { return *gCurrent; }

void SetUserInterface(TUserInterface* ui) { gCurrent = ui ? ui : &gSilent; }
