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

// Where an adapter's interface says what it uses, the most it may use: the
// MTU or the link's, but for IPv4 no less than its smallest in use, which
// Windows uses for a smaller one stored.
unsigned Most(const AdapterResult& adapter, unsigned mtu, std::size_t at) {
    const unsigned link = adapter.ip[at].link;
    const unsigned most = link != 0 && link < mtu ? link : mtu;
    return at == kIpv4 && most < net::kSmallestIpv4InUse ? net::kSmallestIpv4InUse : most;
}

// Whether an IP version is checked: the ones acted on, and IPv6 only for an
// MTU it can take.
bool Checks(const AdapterResult& adapter, std::size_t at, unsigned mtu) {
    return adapter.checks[at] && (at == kIpv4 || mtu >= net::kSmallestIpv6Mtu);
}

}  // namespace

std::string HowItComplies(const AdapterResult& adapter, unsigned mtu) {
    std::string how;
    if (adapter.checks[kIpv4] && adapter.storedMtu != mtu) {
        how = adapter.slot.mtu ? Fill("stores %, not %", {*adapter.slot.mtu, mtu})
                               : Fill("stores no MTU, not %", {mtu});
    }
    for (const std::size_t at : {kIpv4, kIpv6}) {
        const unsigned inUse = adapter.ip[at].inUse;
        const unsigned most = Most(adapter, mtu, at);
        if (Checks(adapter, at, mtu) && inUse != 0 && inUse != most) {
            how += Fill(inUse > most ? "%uses % now%, above %" : "%uses % now%, below % (something else set it)",
                        {how.empty() ? "" : "; ", inUse, at == kIpv6 ? " for IPv6" : "", most});
        }
    }
    return how;
}

namespace {

// An adapter with no interface now complies on what it stores.
bool Complies(const AdapterResult& adapter, unsigned mtu) {
    bool complies = !adapter.checks[kIpv4] || adapter.storedMtu == mtu;
    for (const std::size_t at : {kIpv4, kIpv6}) {
        complies = complies && (!Checks(adapter, at, mtu) || adapter.ip[at].inUse <= Most(adapter, mtu, at));
    }
    return complies;
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
        if (!session.ActsFor6(family)) {
            continue;
        }
        FamilyResult& checked = session.AddFamily(result, family);
        for (const settings::SlotReport& slot : session.engine.List(family)) {
            if (!one || one->slot.index == slot.index) {
                AdapterResult& adapter = AdapterOf(checked.adapters.emplace_back(), family, slot);
                ReadInUse(session, adapter);
                adapter.checks = {session.Ip(net::IpVersion::k4), session.Ip(net::IpVersion::k6)};
                adapter.compliant = Complies(adapter, result.checkedMtu);
                all = all && *adapter.compliant;
                // -6 checks only where Windows says what IPv6 uses.
                any = any || session.Ip(net::IpVersion::k4) || adapter.ip[kIpv6].inUse != 0 || adapter.ip[kIpv6].none;
            }
        }
    }
    if (!any) {
        result.failure = result.families.empty()       ? kNoIpv6On9x
                         : !session.Ip(net::IpVersion::k4) ? "Windows does not say the MTU IPv6 uses here: there is nothing to check.\n"
                                                           : "No network adapter was found: there is nothing to check.\n";
        result.exitCode = kExitFailure;
        return;
    }
    result.compliant = all;
    result.checks6Only = !session.Ip(net::IpVersion::k4);
    result.exitCode = all ? kExitSuccess : kExitFailure;
}

void SayCheck(ConsoleOutput& output, const RunResult& result) {
    std::string failing;
    int count = 0;
    int bad = 0;
    for (const FamilyResult& family : result.families) {
        output.Out("%\n", {family.caption});
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
                failing += Fill("%% % (%)", {bad == 0 ? "" : ", ",
                                             family.family == settings::WindowsFamily::k9x ? "transport" : "card",
                                             adapter.slot.slot, how});
                ++bad;
            }
        }
        output.Out("  path-MTU discovery (%): %, not judged\n",
                   {family.switchName, SwitchWords(family.pathMtuDiscovery)});
    }
    const unsigned mtu = result.checkedMtu;
    if (bad == 0) {
        output.Out(result.checks6Only ? "Compliant: every adapter uses no more than MTU % for IPv6.\n"
                                      : "Compliant: every adapter stores MTU % and uses no more.\n",
                   {mtu});
    } else {
        output.Out("Not compliant with MTU %: % of % adapters: %.\n", {mtu, bad, count, failing});
    }
}

}  // namespace quillon::ui
