// check MTU: whether each adapter acted on stores that MTU and, where Windows
// says what is in use, uses no more than it (or the link's, where that is
// less). It reads only. The switch is reported, not judged; the last line is
// a summary, for tools that show only that.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

constexpr std::size_t kIpv4 = static_cast<std::size_t>(net::IpVersion::k4);

// Where an adapter's interface says what it uses, the most it may use: the
// MTU or the link's, but no less than IPv4's smallest in use, which Windows
// uses for a smaller one stored.
unsigned Most(const AdapterResult& adapter, unsigned mtu) {
    const unsigned link = adapter.ip[kIpv4].link;
    const unsigned most = link != 0 && link < mtu ? link : mtu;
    return most < net::kSmallestIpv4InUse ? net::kSmallestIpv4InUse : most;
}

}  // namespace

std::string HowItComplies(const AdapterResult& adapter, unsigned mtu) {
    const unsigned inUse = adapter.ip[kIpv4].inUse;
    const unsigned most = Most(adapter, mtu);
    std::string how;
    if (adapter.storedMtu != mtu) {
        how = adapter.slot.mtu ? Fill("stores %, not %", {*adapter.slot.mtu, mtu})
                               : Fill("stores no MTU, not %", {mtu});
    }
    if (inUse != 0 && inUse != most) {
        how += Fill(inUse > most ? "%uses % now, above %" : "%uses % now, below % (something else set it)",
                    {how.empty() ? "" : "; ", inUse, most});
    }
    return how;
}

namespace {

// An adapter with no interface now complies on what it stores.
bool Complies(const AdapterResult& adapter, unsigned mtu) {
    const unsigned inUse = adapter.ip[kIpv4].inUse;
    return adapter.storedMtu == mtu && inUse <= Most(adapter, mtu);
}

}  // namespace

void Check(Session& session, RunResult& result) {
    std::optional<Adapter> one;
    if (!ChooseAdapter(session, one, result)) {
        return;
    }
    bool all = true;
    bool any = false;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        FamilyResult& checked = result.families.emplace_back(session.Family(family));
        for (const settings::SlotReport& slot : session.engine.List(family)) {
            if (!one || one->slot.index == slot.index) {
                AdapterResult& adapter = checked.adapters.emplace_back(AdapterOf(family, slot));
                ReadInUse(session, adapter);
                adapter.compliant = Complies(adapter, result.checkedMtu);
                all = all && *adapter.compliant;
                any = true;
            }
        }
    }
    if (!any) {
        result.failure = "No network adapter was found: there is nothing to check.\n";
        result.exitCode = kExitFailure;
        return;
    }
    result.compliant = all;
    result.exitCode = all ? kExitSuccess : kExitFailure;
}

void SayCheck(ConsoleOutput& output, const RunResult& result) {
    std::string failing;
    int count = 0;
    int bad = 0;
    for (const FamilyResult& family : result.families) {
        output.Out({family.caption, "\n"});
        for (const AdapterResult& adapter : family.adapters) {
            const bool complies = adapter.compliant.value_or(false);
            const std::string how = HowItComplies(adapter, result.checkedMtu);
            const std::string line = Describe(family.family, adapter.slot);
            output.Out(!complies     ? "  %: does not comply: it %\n"
                       : how.empty() ? "  %: complies\n"
                                     : "  %: complies; it %\n",
                       {line, how});
            ++count;
            if (!complies) {
                failing += Cat({bad == 0 ? "" : ", ", family.family == settings::WindowsFamily::k9x ? "transport " : "card ",
                                adapter.slot.slot, " (", how, ")"});
                ++bad;
            }
        }
        output.Out("  path-MTU discovery (%): %, not judged\n",
                   {family.switchName, SwitchWords(family.pathMtuDiscovery)});
    }
    const unsigned mtu = result.checkedMtu;
    if (bad == 0) {
        output.Out("Compliant: every adapter stores MTU % and uses no more.\n", {mtu});
    } else {
        output.Out("Not compliant with MTU %: % of % adapters: %.\n", {mtu, bad, count, failing});
    }
}

}  // namespace quillon::ui
