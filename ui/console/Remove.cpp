// remove: what the window's Remove does, for every family acted on or for the
// one adapter --adapter names; then the link's MTU put back into use at once
// on each adapter whose MTU it deleted, where Windows can do that.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"

namespace quillon::ui {

int RunRemove(Session& session) {
    std::optional<Adapter> one;
    if (!ChooseAdapter(session, one)) {
        return kExitFailure;
    }
    bool allInUse = true;
    bool failed = false;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        // Only the adapters whose MTU this deletes get the link's back, and
        // of those, unless --adapter names one, only where the MTU in use is
        // the one deleted: a VPN client may have set its own adapter's.
        std::vector<InUseTarget> stored;
        for (settings::SlotReport& slot : session.engine.List(family)) {
            if (slot.mtu && (!one || one->slot.index == slot.index)) {
                stored.push_back({std::move(slot), 0});
            }
        }
        failed = !Say(session.output, settings::RemoveMessage(session.engine.Remove(family, session.slot))) ||
                 failed;
        if (!failed) {
            allInUse = PutIntoUse(session, family, stored, true, one.has_value()) && allInUse;
        }
    }
    if (failed) {
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
