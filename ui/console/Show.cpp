// show: each adapter (NT) or transport (9x) in use with its name, the MTU
// stored for it and the one its interface uses now; the path-MTU-discovery
// switch; and last what the window's File > Retrieve MTU would put into its
// box.

#include "ui/console/Adapter.h"
#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

// What the path-MTU-discovery switch is set to: on where nothing is stored,
// as in Windows' own default.
const char* SwitchState(const reg::RawValue& value, settings::WindowsFamily family) {
    using State = reg::RawValue::State;
    if (value.state == State::kKeyMissing || value.state == State::kValueMissing) {
        return "on (not stored, the default)";
    }
    if (value.state == State::kUnreadable) {
        return "unknown (it could not be read)";
    }
    const std::vector<std::uint8_t>& data = value.data;
    const bool nineX = family == settings::WindowsFamily::k9x;
    if (!nineX && value.type == reg::kRegDword && data.size() == 4) {
        return data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 0 ? "off (stored)" : "on (stored)";
    }
    if (nineX && value.type == reg::kRegSz && !data.empty() && (data.size() == 1 || data[1] == 0) &&
        (data[0] == '0' || data[0] == '1')) {
        return data[0] == '0' ? "off (stored)" : "on (stored)";
    }
    return "unknown (a value of another form is stored)";
}

void ShowFamily(Session& session, settings::WindowsFamily family, const std::optional<Adapter>& one) {
    ConsoleOutput& output = session.output;
    const std::string_view value = family == settings::WindowsFamily::k9x ? "MaxMTU" : "MTU";
    for (const settings::SlotReport& slot : session.engine.List(family)) {
        if (one && one->slot.index != slot.index) {
            continue;
        }
        // 0: the system does not say.
        const unsigned inUse = session.table != nullptr ? session.table->MtuInUse(slot.name).value_or(0) : 0;
        const std::string inUseText = inUse != 0 ? Decimal(inUse) : std::string("unknown");
        // A stored MTU above the link's is never used: the link's is.
        const unsigned stored = StoredNumber(slot);
        const unsigned link =
            stored != 0 && session.table != nullptr ? session.table->LinkMtu(slot.name).value_or(0) : 0;
        if (link != 0 && stored > link) {
            const std::string linkText = Decimal(link);
            output.Out("  %  % % stored, above the link's %: % is used  in use now: %\n",
                       {Describe(family, slot), value, *slot.mtu, linkText, linkText, inUseText});
            continue;
        }
        const bool differs = inUse != 0 && slot.mtu && *slot.mtu != inUseText;
        output.Out(slot.mtu ? (differs ? "  %  % %  in use now: % (% from the next restart)\n"
                                       : "  %  % %  in use now: %\n")
                            : "  %  no % stored  in use now: %\n",
                   {Describe(family, slot), value, slot.mtu ? std::string_view(*slot.mtu) : inUseText,
                    inUseText, slot.mtu ? std::string_view(*slot.mtu) : std::string_view()});
    }
    const settings::ToolValue pmtuSwitch = settings::SettingsEngine::SwitchValue(family);
    output.Out("  path-MTU discovery (%): %\n",
               {pmtuSwitch.name, SwitchState(session.registry.GetRawValue(reg::kHkeyLocalMachine,
                                                                          pmtuSwitch.path, pmtuSwitch.name),
                                             family)});
    // One adapter's own MTU, as Retrieve would read it were it the only one.
    if (one) {
        output.Out("MTU: %\n", {one->slot.mtu.value_or(family == settings::WindowsFamily::k9x ? "" : "0")});
        return;
    }
    output.Out("MTU: %\n", {session.engine.Retrieve(family)});
}

}  // namespace

int RunShow(Session& session) {
    std::optional<Adapter> one;
    if (!ChooseAdapter(session, one)) {
        return kExitFailure;
    }
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (session.Acts(family)) {
            session.output.Out({Caption(session.ProductName(family)), "\n"});
            ShowFamily(session, family, one);
        }
    }
    return kExitSuccess;
}

}  // namespace quillon::ui
