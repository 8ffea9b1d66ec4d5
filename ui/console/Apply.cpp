// apply MTU: what the window's Apply does, for every family acted on or for
// the one adapter --adapter names; then the MTU put into use at once on each
// adapter it was written for, where Windows can do that. remove goes the
// same way (ui/console/Remove.cpp).

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/CommandLine.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

// The adapter in slot `index`, as `slots` list it.
const settings::SlotReport* InSlot(const std::vector<settings::SlotReport>& slots, std::int16_t index) {
    for (const settings::SlotReport& slot : slots) {
        if (slot.index == index) {
            return &slot;
        }
    }
    return nullptr;
}

}  // namespace

void StoreOrDelete(Session& session, const std::string* mtu, const std::optional<Adapter>& one, RunResult& result) {
    const bool remove = mtu == nullptr;
    bool failed = false;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        // What each adapter stored before this run: an MTU in use below the
        // link's that is not this was set by something else.
        const std::vector<settings::SlotReport> before = session.engine.List(family);
        bool restart = family == settings::WindowsFamily::k9x || session.table == nullptr;
        if (!session.Ip(net::IpVersion::k4)) {
            // -6: the MTU in use for IPv6 only; the registry and the switch
            // stay as they are.
            if (!session.ActsFor6(family)) {
                continue;
            }
            FamilyResult& done = session.AddFamily(result, family);
            for (const settings::SlotReport& slot : before) {
                if (!one || one->slot.index == slot.index) {
                    AdapterResult& adapter = AdapterOf(done.adapters.emplace_back(), family, slot);
                    adapter.change = ValueChange::kUntouched;
                    PutIntoUse(session, adapter, remove ? 0 : WholeMtu(*mtu), remove, adapter.storedMtu,
                               one.has_value(), restart);
                    const InUseOutcome& inUse = adapter.inUse[kIpv6];
                    result.changed = result.changed || (inUse.result == InUseResult::kSet &&
                                                        inUse.before != adapter.ip[kIpv6].inUse);
                }
            }
            continue;
        }
        const reg::RawValue switchBefore = session.SwitchRaw(family);
        const settings::Outcome outcome =
            remove ? session.engine.Remove(family, session.slot) : session.engine.Apply(family, *mtu, session.slot);
        FamilyResult& done = session.AddFamily(result, family);
        done.message = remove ? settings::RemoveMessage(outcome) : settings::ApplyMessage(outcome);
        result.switchChange = outcome.switchChange;
        result.changed = result.changed || !(session.SwitchRaw(family) == switchBefore);
        // What each stores now; remove goes by what each stored before.
        const std::vector<settings::SlotReport> listed =
            remove ? std::vector<settings::SlotReport>() : session.engine.List(family);
        const std::vector<settings::SlotReport>& after = remove ? before : listed;
        for (const settings::AdapterChange& change : outcome.adapters) {
            const settings::SlotReport* now = InSlot(after, change.index);
            const settings::SlotReport* earlier = InSlot(before, change.index);
            if (now == nullptr) {
                continue;
            }
            AdapterResult& adapter = AdapterOf(done.adapters.emplace_back(), family, *now);
            const bool held = earlier != nullptr && earlier->mtu.has_value();
            adapter.change = change.change == settings::Change::kRefused ? ValueChange::kFailed
                             : remove                                    ? (held ? ValueChange::kDeleted
                                                                                 : ValueChange::kAbsent)
                             : held && earlier->mtu == now->mtu          ? ValueChange::kUnchanged
                                                                         : ValueChange::kWritten;
            result.changed = result.changed || adapter.change == ValueChange::kWritten ||
                             adapter.change == ValueChange::kDeleted;
        }
        failed = failed || done.message->notice != settings::Notice::kInformation;
        if (failed) {
            continue;
        }
        // The adapters it wrote the MTU for: the same MTU at once; those it
        // deleted it for: the link's.
        for (AdapterResult& adapter : done.adapters) {
            if (adapter.change == ValueChange::kWritten || adapter.change == ValueChange::kUnchanged ||
                adapter.change == ValueChange::kDeleted) {
                const settings::SlotReport* earlier = InSlot(before, adapter.slot.index);
                PutIntoUse(session, adapter, adapter.storedMtu, remove, earlier != nullptr ? StoredNumber(*earlier) : 0,
                           one.has_value(), restart);
                for (const std::size_t at : {kIpv4, kIpv6}) {
                    const InUseOutcome& inUse = adapter.inUse[at];
                    // Unchanged: that MTU was stored and in use already.
                    if (inUse.result == InUseResult::kSet && inUse.before != adapter.ip[at].inUse) {
                        result.changed = true;
                        adapter.change = remove ? adapter.change : ValueChange::kWritten;
                    }
                }
                // What it stores now.
                if (remove) {
                    adapter.slot.mtu.reset();
                    adapter.storedMtu = 0;
                }
            }
        }
        done.restart = restart;
    }
    if (one && !result.families.empty()) {
        AdapterOf(result.one.emplace(), one->family, one->slot);
    }
    if (result.families.empty()) {
        result.failure = kNoIpv6On9x;
        failed = true;
    }
    result.exitCode = failed ? kExitFailure : ExitOfInUse(result);
}

void ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one, RunResult& result) {
    StoreOrDelete(session, &mtu, one, result);
}

void SayChange(ConsoleOutput& output, const RunResult& result) {
    for (const FamilyResult& family : result.families) {
        // -6 stores nothing: there is no message of the window's to say.
        if (!family.message || Say(output, *family.message)) {
            SayInUse(output, family);
        }
    }
    if (!result.one || result.exitCode == kExitFailure || !result.families.front().message) {
        return;
    }
    output.Out(result.command == "remove"
                   ? "The MTU was removed from % only; path-MTU discovery is on again (the default), "
                     "since not every adapter holds an MTU of its own now.\n"
               : result.switchChange == settings::SwitchChange::kSwitchedOff
                   ? "The MTU was stored for % only; path-MTU discovery is now off, since every adapter "
                     "holds an MTU of its own.\n"
                   : "The MTU was stored for % only; path-MTU discovery is on (the default), since not every "
                     "adapter holds an MTU of its own: with it off, Windows would send at most 576 bytes "
                     "beyond the local network on those that hold none.\n",
               {Describe(result.one->family, result.one->slot)});
}

void Apply(Session& session, RunResult& result) {
    std::optional<Adapter> one;
    if (ChooseAdapter(session, one, result)) {
        ApplyMtu(session, session.line.mtu, one, result);
    }
}

}  // namespace quillon::ui
