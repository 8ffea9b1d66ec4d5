// apply MTU: what the window's Apply does, for every family acted on or for
// the one adapter --adapter names; then the MTU put into use at once on each
// adapter it was written for, where Windows can do that.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

int ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one) {
    bool allInUse = true;
    bool failed = false;
    settings::SwitchChange switchChange = settings::SwitchChange::kNone;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        // What each adapter stored before this run: an MTU in use below the
        // link's that is not this was set by something else.
        const std::vector<settings::SlotReport> before = session.engine.List(family);
        const settings::Outcome outcome = session.engine.Apply(family, mtu, session.slot);
        switchChange = outcome.switchChange;
        failed = !Say(session.output, settings::ApplyMessage(outcome)) || failed;
        if (failed) {
            continue;
        }
        // The adapters it was written for: the same MTU at once.
        std::vector<InUseTarget> written;
        for (settings::SlotReport& slot : session.engine.List(family)) {
            for (const settings::AdapterChange& change : outcome.adapters) {
                if (change.index == slot.index && change.change == settings::Change::kWritten) {
                    unsigned stored = 0;
                    for (const settings::SlotReport& earlier : before) {
                        stored = earlier.index == slot.index ? StoredNumber(earlier) : stored;
                    }
                    written.push_back({std::move(slot), stored});
                    break;
                }
            }
        }
        allInUse = PutIntoUse(session, family, written, false, one.has_value()) && allInUse;
    }
    if (failed) {
        return kExitFailure;
    }
    if (one) {
        session.output.Out(
            switchChange == settings::SwitchChange::kSwitchedOff
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
