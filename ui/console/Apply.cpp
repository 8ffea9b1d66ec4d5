// apply MTU: the window's own Apply for every family acted on, or for the
// one adapter --adapter names; then the MTU put into use at once where
// Windows can do that.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

int ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one) {
    ConsoleWindows& windows = session.windows;
    settings::Module1& module = session.module;
    bool allInUse = true;
    for (const bool family9x : {false, true}) {
        if (session.Acts(family9x)) {
            windows.Box(family9x).SetText(mtu);
            family9x ? module.ApplyMtu9x() : module.ApplyMtuNt();
            // Every chosen adapter in use now holds the MTU: the same one at once.
            if (!windows.Failed()) {
                std::vector<settings::SlotReport> stored;
                for (settings::SlotReport& slot :
                     family9x ? module.ListTransports9x() : module.ListAdaptersNt()) {
                    if (!one || one->slot.index == slot.index) {
                        stored.push_back(std::move(slot));
                    }
                }
                allInUse = PutIntoUse(session, family9x, stored, false) && allInUse;
            }
        }
    }
    if (windows.Failed()) {
        return kExitFailure;
    }
    if (one) {
        session.output.Out(
            module.SwitchDone() == settings::Module1::SwitchChange::kSwitchedOff
                ? "The MTU was stored for % only; path-MTU discovery is now off, since every adapter "
                  "holds an MTU of its own.\n"
                : "The MTU was stored for % only; path-MTU discovery is on (the default), since not every "
                  "adapter holds an MTU of its own: with it off, Windows would send at most 576 bytes "
                  "beyond the local network on those that hold none.\n",
            {Describe(*one)});
    }
    return allInUse ? kExitSuccess : kExitNotInUse;
}

int RunApply(Session& session) {
    std::optional<Adapter> one;
    return ChooseAdapter(session, one) ? ApplyMtu(session, session.line.mtu, one) : kExitFailure;
}

}  // namespace quillon::ui
