// remove: the window's own Remove for every family acted on, or for the one
// adapter --adapter names; then the link's MTU put back into use at once on
// each adapter whose MTU it deleted, where Windows can do that.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"

namespace quillon::ui {

int RunRemove(Session& session) {
    std::optional<Adapter> one;
    if (!ChooseAdapter(session, one)) {
        return kExitFailure;
    }
    ConsoleWindows& windows = session.windows;
    settings::Module1& module = session.module;
    bool allInUse = true;
    for (const bool family9x : {false, true}) {
        if (session.Acts(family9x)) {
            // Only the adapters whose MTU this deletes get the link's back: a
            // VPN client may have set its own adapter's.
            std::vector<settings::SlotReport> stored;
            for (settings::SlotReport& slot : family9x ? module.ListTransports9x() : module.ListAdaptersNt()) {
                if (slot.mtu && (!one || one->slot.index == slot.index)) {
                    stored.push_back(std::move(slot));
                }
            }
            family9x ? module.RemoveMtu9x() : module.RemoveMtuNt();
            if (!windows.Failed()) {
                allInUse = PutIntoUse(session, family9x, stored, true) && allInUse;
            }
        }
    }
    if (windows.Failed()) {
        return kExitFailure;
    }
    if (one) {
        session.output.Out(
            "The MTU was removed from % only; path-MTU discovery is on again (the default), "
            "since not every adapter holds an MTU of its own now.\n",
            {Describe(*one)});
    }
    return allInUse ? kExitSuccess : kExitNotInUse;
}

}  // namespace quillon::ui
