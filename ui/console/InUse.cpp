#include "ui/console/InUse.h"

#include <algorithm>

#include "net/Mtu.h"
#include "ui/console/Adapter.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

using net::kLargestIpv4Packet;
using net::kSmallestIpv4InUse;

// Why Windows did not put `mtu` into use.
std::string Refusal(const net::MtuChange& change, unsigned mtu) {
    const std::string asked = Decimal(mtu);
    switch (change.outcome) {
        case net::MtuSetting::kNoRights:
            return "Windows lets only an administrator change the MTU in use: run quillon-mtu-cli from an "
                   "elevated prompt";
        case net::MtuSetting::kRefused:
            return mtu < kSmallestIpv4InUse
                       ? Fill("Windows does not put % into use at once (576 is the smallest MTU Windows "
                              "documents for IPv4)",
                              {asked})
                       : Fill("Windows does not put % into use at once on this interface", {asked});
        default:
            return Fill("Windows would not change the MTU in use (error %)", {Decimal(change.error)});
    }
}

}  // namespace

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
    return inUse != 0 && link != 0 && inUse < link && inUse != storedBefore;
}

bool PutIntoUse(Session& session, settings::WindowsFamily family, const std::vector<InUseTarget>& targets, bool linkMtu,
                bool chosen) {
    ConsoleOutput& output = session.output;
    bool allInUse = true;
    bool restart = family == settings::WindowsFamily::k9x || session.table == nullptr;
    for (const InUseTarget& target : targets) {
        const settings::SlotReport& slot = target.slot;
        const unsigned stored = linkMtu ? 0 : StoredNumber(slot);
        if (restart || (stored == 0 && !linkMtu)) {
            continue;
        }
        const std::string adapter = Describe(family, slot);
        // Plain apply lowers an MTU in use that something else set, but
        // never raises it; plain remove leaves it.
        if (!chosen) {
            const unsigned now = session.table->MtuInUse(slot.name).value_or(0);
            const unsigned link = session.table->LinkMtu(slot.name).value_or(0);
            if (SetElsewhere(now, link, linkMtu ? StoredNumber(slot) : target.before) &&
                (linkMtu || std::min(stored, link) > now)) {
                output.Out(linkMtu ? "  %  in use now: %, left as it is: it is not the MTU that was stored, "
                                     "so something else set it (a VPN client, netsh)\n"
                                   : "  %  in use now: %, left as it is: something else set it below the "
                                     "link's % (a VPN client, netsh); % is stored, and quillon-mtu-cli apply "
                                     "% --adapter % puts it into use at once\n",
                           {adapter, Decimal(now), Decimal(link), Decimal(stored), Decimal(stored), slot.slot});
                continue;
            }
        }
        const net::MtuChange change = session.table->SetMtuInUse(slot.name, stored);
        const std::string inUse = Decimal(change.inUse);
        const bool known = change.inUse != 0 && change.inUse <= kLargestIpv4Packet;
        switch (change.outcome) {
            case net::MtuSetting::kMissing:
                restart = true;
                break;
            case net::MtuSetting::kSet:
                output.Out(linkMtu            ? "  %  in use now: %, the link's MTU\n"
                           : change.aboveLink ? "  %  in use now: %, the link's MTU (% is above it)\n"
                                              : "  %  in use now: %\n",
                           {adapter, known ? std::string_view(inUse) : "unknown", Decimal(stored)});
                break;
            case net::MtuSetting::kNoInterface:
                // Not connected now: nothing refused, the stored value counts
                // once Windows reads it.
                output.Out(linkMtu ? "  %  has no IPv4 interface now (it is disabled or not connected, or IPv4 "
                                     "is off there): the MTU is deleted for when Windows reads it\n"
                                   : "  %  has no IPv4 interface now (it is disabled or not connected, or IPv4 "
                                     "is off there): % is stored for when Windows reads it; run apply again "
                                     "once the adapter is connected to put it into use at once\n",
                           {adapter, Decimal(stored)});
                break;
            default: {
                allInUse = false;
                const unsigned asked = linkMtu ? change.linkMtu : stored;
                const std::string askedText = asked != 0 ? Decimal(asked) : std::string("the link's MTU");
                const std::string why = Refusal(change, asked);
                if (known) {
                    output.Err("  %  in use now: %, not %: %\n", {adapter, inUse, askedText, why});
                } else {
                    output.Err("  %  % is not in use: %\n", {adapter, askedText, why});
                }
                break;
            }
        }
    }
    if (restart) {
        output.Out("The change takes effect when Windows restarts.\n");
    }
    return allInUse;
}

}  // namespace quillon::ui
