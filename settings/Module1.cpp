#include "settings/Module1.h"

namespace quillon::settings {

void Module1::Apply(WindowsFamily family) {
    const std::string mtu = windows_.MtuText(family);
    windows_.ShowMessage(ApplyMessage(engine_.Apply(family, mtu)));
}

void Module1::Remove(WindowsFamily family) {
    const Outcome outcome = engine_.Remove(family);
    if (outcome.AllDone()) {
        windows_.SetMtuText(family, "");
    }
    windows_.ShowMessage(RemoveMessage(outcome));
}

void Module1::Retrieve(WindowsFamily family) { windows_.SetMtuText(family, engine_.Retrieve(family)); }

}  // namespace quillon::settings
