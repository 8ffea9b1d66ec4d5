// show: each adapter (NT) or transport (9x) in use with its name, the MTU
// stored for it and the one its interface uses now; the path-MTU-discovery
// switch; and last what the window's File > Retrieve MTU would put into its
// box.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

const char* SwitchWords(SwitchState state) {
    switch (state) {
        case SwitchState::kDefault:
            return "on (not stored, the default)";
        case SwitchState::kOn:
            return "on (stored)";
        case SwitchState::kOff:
            return "off (stored)";
        case SwitchState::kUnreadable:
            return "unknown (it could not be read)";
        case SwitchState::kOtherForm:
            break;
    }
    return "unknown (a value of another form is stored)";
}

void ReadInUse(Session& session, AdapterResult& adapter) {
    if (session.table == nullptr) {
        return;
    }
    const unsigned link = session.table->LinkMtu(adapter.slot.name).value_or(0);
    for (const net::IpVersion version : net::kIpVersions) {
        // 95, 98 and Me have no IPv6 of Windows' own.
        if (version == net::IpVersion::k6 && adapter.family == settings::WindowsFamily::k9x) {
            continue;
        }
        IpState& ip = adapter.ip[static_cast<std::size_t>(version)];
        const std::optional<unsigned> inUse = session.table->MtuInUse(adapter.slot.name, version);
        ip.inUse = inUse.value_or(0);
        ip.none = inUse == 0u;
        // IPv6's link where its interface says what it uses.
        ip.link = version == net::IpVersion::k4 || ip.inUse != 0 ? link : 0;
    }
}

void Show(Session& session, RunResult& result) {
    std::optional<Adapter> one;
    if (!ChooseAdapter(session, one, result)) {
        return;
    }
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        FamilyResult& shown = session.AddFamily(result, family);
        for (const settings::SlotReport& slot : session.engine.List(family)) {
            if (!one || one->slot.index == slot.index) {
                ReadInUse(session, AdapterOf(shown.adapters.emplace_back(), family, slot));
            }
        }
        // One adapter's own MTU, as Retrieve would read it were it the only one.
        shown.retrieve = one ? one->slot.mtu.value_or(family == settings::WindowsFamily::k9x ? "" : "0")
                             : session.engine.Retrieve(family);
    }
}

void SayShow(ConsoleOutput& output, const RunResult& result) {
    for (const FamilyResult& family : result.families) {
        output.Out("%\n", {family.caption});
        const std::string_view value = family.family == settings::WindowsFamily::k9x ? "MaxMTU" : "MTU";
        for (const AdapterResult& adapter : family.adapters) {
            const IpState& ip = adapter.ip[kIpv4];
            const IpState& ipv6 = adapter.ip[kIpv6];
            const settings::SlotReport& slot = adapter.slot;
            const Piece inUse = ip.inUse != 0 ? Piece(ip.inUse) : Piece("unknown");
            const std::string described = Describe(family.family, slot);
            // A stored MTU above the link's is never used: the link's is.
            const bool above = ip.link != 0 && adapter.storedMtu > ip.link;
            // Stored "1400" and 1400 in use are the same; stored "0088" and 88 are not.
            const bool differs = !above && ip.inUse != 0 && slot.mtu && *slot.mtu != Decimal(ip.inUse);
            // One call, its pattern chosen first: each takes as many values as it names.
            output.Out(above      ? "  %  % % stored, above the link's %: % is used  in use now: %"
                       : !slot.mtu ? "  %  no % stored  in use now: %"
                       : differs   ? "  %  % %  in use now: % (% from the next restart)"
                                   : "  %  % %  in use now: %",
                       {described, value, slot.mtu ? Piece(*slot.mtu) : inUse, above ? Piece(ip.link) : inUse,
                        above ? Piece(ip.link) : slot.mtu ? Piece(*slot.mtu) : Piece(""), inUse});
            // IPv6's MTU in use after IPv4's, where Windows says it.
            output.Out(ipv6.none ? ", no IPv6 interface now\n" : ipv6.inUse != 0 ? ", IPv6 %\n" : "\n", {ipv6.inUse});
        }
        output.Out("  path-MTU discovery (%): %\n", {family.switchName, SwitchWords(family.pathMtuDiscovery)});
        output.Out("MTU: %\n", {family.retrieve});
    }
}

}  // namespace quillon::ui
