#include "ui/console/InUse.h"

#include <algorithm>

#include "net/Mtu.h"
#include "ui/console/Adapter.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

constexpr std::size_t kIpv4 = static_cast<std::size_t>(net::IpVersion::k4);

// Why Windows did not put `mtu` into use.
std::string Refusal(const InUseOutcome& outcome) {
    const unsigned asked = outcome.asked;
    switch (outcome.refusal) {
        case net::MtuSetting::kNoRights:
            return "Windows lets only an administrator change the MTU in use: run quillon-mtu-cli from an "
                   "elevated prompt";
        case net::MtuSetting::kLinkUnknown:
            return "Windows does not say the link's MTU";
        case net::MtuSetting::kRefused:
            return outcome.asked < net::kSmallestIpv4InUse
                       ? Fill("Windows does not put % into use at once (576 is the smallest MTU Windows "
                              "documents for IPv4)",
                              {asked})
                       : Fill("Windows does not put % into use at once on this interface", {asked});
        default:
            return Fill("Windows would not change the MTU in use (error %)", {outcome.error});
    }
}

bool Known(unsigned mtu) { return mtu != 0 && mtu <= net::kLargestIpv4Packet; }

}  // namespace

std::string Reason(const AdapterResult& adapter, net::IpVersion version) {
    const InUseOutcome& outcome = adapter.inUse[static_cast<std::size_t>(version)];
    switch (outcome.result) {
        case InUseResult::kRefused:
            return Refusal(outcome);
        case InUseResult::kLeftAlone:
            return outcome.linkMtu ? "it is not the MTU that was stored, so something else set it (a VPN client, "
                                     "netsh)"
                                   : Fill("something else set it below the link's % (a VPN client, netsh)",
                                          {adapter.ip[static_cast<std::size_t>(version)].link});
        case InUseResult::kNotConnected:
            return "no IPv4 interface now (it is disabled or not connected, or IPv4 is off there)";
        default:
            return std::string();
    }
}

unsigned StoredNumber(const settings::SlotReport& slot) {
    if (!slot.mtu || slot.mtu->empty() || slot.mtu->size() > 5) {
        return 0;
    }
    unsigned number = 0;
    for (const char c : *slot.mtu) {
        if (c < '0' || c > '9') {
            return 0;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

bool SetElsewhere(unsigned inUse, unsigned link, unsigned storedBefore) {
    // A stored MTU below IPv4's smallest in use is used as that smallest.
    const unsigned ours = storedBefore != 0 && storedBefore < net::kSmallestIpv4InUse ? net::kSmallestIpv4InUse
                                                                                     : storedBefore;
    return inUse != 0 && link != 0 && inUse < link && inUse != ours;
}

void PutIntoUse(Session& session, AdapterResult& adapter, unsigned storedBefore, bool linkMtu, bool chosen,
                bool& restart) {
    InUseOutcome& outcome = adapter.inUse[kIpv4];
    IpState& ip = adapter.ip[kIpv4];
    const unsigned stored = linkMtu ? 0 : adapter.storedMtu;
    outcome.linkMtu = linkMtu;
    outcome.asked = stored;
    ReadInUse(session, adapter);
    outcome.before = ip.inUse;
    if (restart) {
        outcome.result = InUseResult::kRestart;
        return;
    }
    if (stored == 0 && !linkMtu) {
        return;  // not a whole number: nothing to put into use
    }
    const std::string& name = adapter.slot.name;
    // Plain apply lowers an MTU in use that something else set, but never
    // raises it; plain remove leaves it.
    if (!chosen && SetElsewhere(ip.inUse, ip.link, linkMtu ? adapter.storedMtu : storedBefore) &&
        (linkMtu || std::min(stored, ip.link) > ip.inUse)) {
        outcome.result = InUseResult::kLeftAlone;
        return;
    }
    const net::MtuChange change = session.table->SetMtuInUse(name, stored);
    if (change.outcome == net::MtuSetting::kMissing) {
        restart = true;
        outcome.result = InUseResult::kRestart;
        return;  // what is in use stays as it was read
    }
    ip.inUse = change.inUse;
    ip.link = change.linkMtu != 0 ? change.linkMtu : ip.link;
    outcome.aboveLink = change.aboveLink;
    switch (change.outcome) {
        case net::MtuSetting::kSet:
            outcome.result = InUseResult::kSet;
            break;
        case net::MtuSetting::kNoInterface:
            // Not connected now: nothing refused, the stored value counts
            // once Windows reads it.
            outcome.result = InUseResult::kNotConnected;
            break;
        default:
            outcome.result = InUseResult::kRefused;
            outcome.asked = linkMtu ? change.linkMtu : stored;
            outcome.refusal = change.outcome;
            outcome.error = change.error;
            break;
    }
}

void SayInUse(ConsoleOutput& output, const FamilyResult& family) {
    for (const AdapterResult& adapter : family.adapters) {
        const InUseOutcome& outcome = adapter.inUse[kIpv4];
        const unsigned inUse = adapter.ip[kIpv4].inUse;
        const std::string line = Describe(adapter.family, adapter.slot);
        const unsigned stored = adapter.storedMtu;
        switch (outcome.result) {
            case InUseResult::kSet:
                output.Out(outcome.linkMtu     ? "  %  in use now: %, the link's MTU\n"
                           : outcome.aboveLink ? "  %  in use now: %, the link's MTU (% is above it)\n"
                                               : "  %  in use now: %\n",
                           {line, Known(inUse) ? Piece(inUse) : Piece("unknown"), stored});
                break;
            case InUseResult::kNotConnected:
                output.Out(outcome.linkMtu ? "  %  has %: the MTU is deleted for when Windows reads it\n"
                                           : "  %  has %: % is stored for when Windows reads it; run apply again "
                                             "once the adapter is connected to put it into use at once\n",
                           {line, Reason(adapter, net::IpVersion::k4), stored});
                break;
            case InUseResult::kLeftAlone:
                output.Out(outcome.linkMtu ? "  %  in use now: %, left as it is: %\n"
                                           : "  %  in use now: %, left as it is: %; % is stored, and "
                                             "quillon-mtu-cli apply % --adapter % puts it into use at once\n",
                           {line, inUse, Reason(adapter, net::IpVersion::k4), stored, stored,
                            adapter.slot.slot});
                break;
            case InUseResult::kRefused: {
                const Piece asked = outcome.asked != 0 ? Piece(outcome.asked) : Piece("the link's MTU");
                const std::string why = Reason(adapter, net::IpVersion::k4);
                if (Known(inUse)) {
                    output.Err("  %  in use now: %, not %: %\n", {line, inUse, asked, why});
                } else {
                    output.Err("  %  % is not in use: %\n", {line, asked, why});
                }
                break;
            }
            case InUseResult::kNone:
            case InUseResult::kRestart:
                break;
        }
    }
    if (family.restart) {
        output.Out("The change takes effect when Windows restarts.\n");
    }
}

}  // namespace quillon::ui
