// remove: what the window's Remove does, for every family acted on or for the
// one adapter --adapter names; then the link's MTU put back into use at once
// on each adapter whose MTU it deleted, where Windows can do that. Only the
// adapters whose MTU it deletes get the link's back, and of those, unless
// --adapter names one, only where the MTU in use is the one deleted: a VPN
// client may have set its own adapter's. It goes the way apply goes
// (ui/console/Apply.cpp).

#include "ui/console/Adapter.h"
#include "ui/console/Session.h"

namespace quillon::ui {

void Remove(Session& session, RunResult& result) {
    std::optional<Adapter> one;
    if (ChooseAdapter(session, one, result)) {
        StoreOrDelete(session, nullptr, one, result);
    }
}

}  // namespace quillon::ui
