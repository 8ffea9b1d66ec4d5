#include "ui/console/InUse.h"

#include "ui/console/Adapter.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

constexpr unsigned kLargestMtu = 65535;
// What Windows 10 is reported to refuse as an IPv4 MTU set at once.
constexpr unsigned kSmallestTaken = 576;

// Why Windows did not put `mtu` into use.
std::string Refusal(const net::MtuChange& change, unsigned mtu) {
    const std::string asked = Decimal(mtu);
    switch (change.outcome) {
        case net::MtuSetting::kNoRights:
            return "Windows lets only an administrator change the MTU in use: run quillon-mtu-cli from an "
                   "elevated prompt";
        case net::MtuSetting::kRefused:
            return mtu < kSmallestTaken
                       ? Fill(
                             "Windows does not put % into use at once (Windows 10 is reported to refuse an "
                             "IPv4 MTU below 576)",
                             {asked})
                       : Fill("Windows does not put % into use at once on this interface", {asked});
        case net::MtuSetting::kNoInterface:
            return "the adapter has no IPv4 interface now (it is disabled or not connected, or IPv4 is off "
                   "there)";
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

bool PutIntoUse(Session& session, settings::Family family, const std::vector<settings::SlotReport>& slots,
                bool linkMtu) {
    ConsoleOutput& output = session.output;
    bool allInUse = true;
    bool restart = family == settings::Family::k9x || session.table == nullptr;
    for (const settings::SlotReport& slot : slots) {
        const unsigned stored = linkMtu ? 0 : StoredNumber(slot);
        if (restart || (stored == 0 && !linkMtu)) {
            continue;
        }
        const net::MtuChange change = session.table->SetMtuInUse(slot.name, stored);
        const std::string adapter = Describe(family, slot);
        const std::string inUse = Decimal(change.inUse);
        const bool known = change.inUse != 0 && change.inUse <= kLargestMtu;
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
