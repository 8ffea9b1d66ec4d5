#include "ui/console/InUse.h"

#include <algorithm>

#include "net/Mtu.h"
#include "ui/console/Adapter.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

const char* VersionName(net::IpVersion version) { return version == net::IpVersion::k4 ? "IPv4" : "IPv6"; }

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
        case net::MtuSetting::kMissing:
            return "this Windows cannot put an MTU into use at once (Windows Vista and later can), and nothing "
                   "stores IPv6's";
        default:
            return Fill("Windows would not change the MTU in use (error %)", {outcome.error});
    }
}

bool Known(unsigned mtu) { return mtu != 0 && mtu <= net::kLargestIpv4Packet; }

}  // namespace

std::string Reason(const AdapterResult& adapter, net::IpVersion version) {
    const std::size_t at = static_cast<std::size_t>(version);
    const InUseOutcome& outcome = adapter.inUse[at];
    switch (outcome.result) {
        case InUseResult::kRefused:
            return Refusal(outcome);
        case InUseResult::kLeftAlone:
            return outcome.linkMtu ? "it is not the MTU that was stored, so something else set it (a VPN client, "
                                     "netsh)"
                                   : Fill("something else set it below the link's % (a VPN client, netsh)",
                                          {adapter.ip[at].link});
        case InUseResult::kNotConnected:
            return Fill("no % interface now (it is disabled or not connected, or % is off there)",
                        {VersionName(version), VersionName(version)});
        case InUseResult::kTooSmall:
            return "IPv6's smallest MTU is 1280";
        case InUseResult::kNotPutBack:
            return "without --adapter this tool cannot tell which IPv6 MTU it set";
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

void PutIntoUse(Session& session, AdapterResult& adapter, unsigned asked, bool linkMtu, unsigned storedBefore,
                bool chosen, bool& restart) {
    ReadInUse(session, adapter);
    const bool ipv4Too = session.Ip(net::IpVersion::k4);
    for (const net::IpVersion version : net::kIpVersions) {
        const bool six = version == net::IpVersion::k6;
        // 95, 98 and Me have no IPv6 of Windows' own.
        if (!session.Ip(version) || (six && ipv4Too && adapter.family == settings::WindowsFamily::k9x)) {
            continue;
        }
        InUseOutcome& outcome = adapter.inUse[static_cast<std::size_t>(version)];
        IpState& ip = adapter.ip[static_cast<std::size_t>(version)];
        outcome.linkMtu = linkMtu;
        outcome.asked = linkMtu ? 0 : asked;
        outcome.before = ip.inUse;
        if (restart) {
            // IPv4's stored MTU counts from the next restart; nothing keeps
            // IPv6's, so with -6 nothing was done.
            if (!six) {
                outcome.result = InUseResult::kRestart;
            } else if (!ipv4Too) {
                outcome.result = InUseResult::kRefused;
                outcome.refusal = net::MtuSetting::kMissing;
            }
            continue;
        }
        // Not a whole number: nothing to put into use. Where Windows does not
        // say IPv6's MTU in use, it has no row to change either, unless -6
        // asks for it alone.
        if ((asked == 0 && !linkMtu) || (six && ipv4Too && ip.inUse == 0 && !ip.none)) {
            continue;
        }
        if (six && (ip.none || (!linkMtu && asked < net::kSmallestIpv6Mtu) || (linkMtu && !chosen && !ipv4Too))) {
            outcome.result = ip.none ? InUseResult::kNotConnected
                             : linkMtu ? InUseResult::kNotPutBack
                                       : InUseResult::kTooSmall;
            continue;
        }
        // Plain apply lowers an MTU in use that something else set, but never
        // raises it; plain remove leaves it.
        if (!chosen && SetElsewhere(ip.inUse, ip.link, storedBefore) &&
            (linkMtu || std::min(asked, ip.link) > ip.inUse)) {
            outcome.result = InUseResult::kLeftAlone;
            continue;
        }
        const net::MtuChange change = session.table->SetMtuInUse(adapter.slot.name, outcome.asked, version);
        if (change.outcome == net::MtuSetting::kMissing) {
            // Before Vista: what is in use stays as it was read.
            restart = !six;
            outcome.result = six ? InUseResult::kRefused : InUseResult::kRestart;
            outcome.refusal = change.outcome;
            continue;
        }
        ip.inUse = change.inUse;
        ip.link = change.linkMtu != 0 ? change.linkMtu : ip.link;
        outcome.aboveLink = change.aboveLink;
        switch (change.outcome) {
            case net::MtuSetting::kSet:
                outcome.result = InUseResult::kSet;
                outcome.kept = change.kept;
                outcome.keepError = change.keepError;
                break;
            case net::MtuSetting::kNoInterface:
                // Not connected now: nothing refused, the stored value counts
                // once Windows reads it.
                outcome.result = InUseResult::kNotConnected;
                break;
            default:
                outcome.result = InUseResult::kRefused;
                outcome.asked = linkMtu ? change.linkMtu : asked;
                outcome.refusal = change.outcome;
                outcome.error = change.error;
                break;
        }
    }
}

void SayInUse(ConsoleOutput& output, const FamilyResult& family) {
    for (const AdapterResult& adapter : family.adapters) {
        const std::string line = Describe(adapter.family, adapter.slot);
        const unsigned stored = adapter.storedMtu;
        for (const net::IpVersion version : net::kIpVersions) {
            const std::size_t at = static_cast<std::size_t>(version);
            const bool six = version == net::IpVersion::k6;
            const InUseOutcome& outcome = adapter.inUse[at];
            const unsigned inUse = adapter.ip[at].inUse;
            const Piece shown = Known(inUse) ? Piece(inUse) : Piece("unknown");
            // IPv4's lines say nothing of their IP version.
            const char* const v = six ? "IPv6 " : "";
            const std::string why = Reason(adapter, version);
            switch (outcome.result) {
                case InUseResult::kSet:
                    output.Out(outcome.linkMtu     ? "  %  %in use now: %, the link's MTU"
                               : outcome.aboveLink ? "  %  %in use now: %, the link's MTU (% is above it)"
                                                   : "  %  %in use now: %",
                               {line, v, shown, outcome.asked});
                    // IPv4's MTU lasts in the registry; IPv6's only where
                    // Windows' persistent store took it.
                    output.Out(!six ? "\n"
                               : outcome.kept == net::Kept::kKept ? ", kept past a restart\n"
                               : outcome.kept == net::Kept::kRefused
                                   ? ", until Windows restarts: netsh did not store it (exit code %)\n"
                               : outcome.kept == net::Kept::kNotStarted
                                   ? ", until Windows restarts: netsh could not be run (error %)\n"
                               : outcome.kept == net::Kept::kTimedOut
                                   ? ", until Windows restarts: netsh did not end within 30 seconds\n"
                               : outcome.linkMtu || outcome.aboveLink ? "\n"
                                                                      : ", until Windows restarts\n",
                               {outcome.keepError});
                    break;
                case InUseResult::kNotConnected:
                    output.Out(six               ? "  %  has %\n"
                               : outcome.linkMtu ? "  %  has %: the MTU is deleted for when Windows reads it\n"
                                                 : "  %  has %: % is stored for when Windows reads it; run apply "
                                                   "again once the adapter is connected to put it into use at once\n",
                               {line, why, stored});
                    break;
                case InUseResult::kNotPutBack:
                case InUseResult::kLeftAlone:
                case InUseResult::kTooSmall: {
                    // Each line of an MTU left as it is, from one list of
                    // values: each pattern takes as many as it names.
                    const bool putBack = outcome.result == InUseResult::kNotPutBack;
                    output.Out(putBack ? "  %  %in use now: %, left as it is: %; quillon-mtu-cli remove -6 --adapter % "
                                         "puts the link's MTU back\n"
                               : outcome.linkMtu || outcome.result == InUseResult::kTooSmall
                                   ? "  %  %in use now: %, left as it is: %\n"
                               : six ? "  %  %in use now: %, left as it is: %; quillon-mtu-cli apply % -6 "
                                       "--adapter % puts it into use at once\n"
                                     : "  %  %in use now: %, left as it is: %; % is stored, and "
                                       "quillon-mtu-cli apply % --adapter % puts it into use at once\n",
                               {line, v, shown, why, putBack ? Piece(adapter.slot.slot) : Piece(outcome.asked),
                                six ? Piece(adapter.slot.slot) : Piece(outcome.asked), adapter.slot.slot});
                    break;
                }
                case InUseResult::kRefused: {
                    const Piece asked = outcome.asked != 0 ? Piece(outcome.asked) : Piece("the link's MTU");
                    if (Known(inUse)) {
                        output.Err("  %  %in use now: %, not %: %\n", {line, v, inUse, asked, why});
                    } else {
                        output.Err("  %  %% is not in use: %\n", {line, v, asked, why});
                    }
                    break;
                }
                case InUseResult::kNone:
                case InUseResult::kRestart:
                    break;
            }
        }
    }
    if (family.restart) {
        output.Out("The change takes effect when Windows restarts.\n");
    }
}

}  // namespace quillon::ui
