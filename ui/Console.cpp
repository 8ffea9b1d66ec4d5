#include "ui/Console.h"

#include <optional>

#include "net/PathMtu.h"
#include "settings/Module1.h"
#include "settings/MtuNumber.h"
#include "ui/ProductNames.h"
#include "ui/RegFile.h"
#include "ui/WindowServices.h"

namespace quillon::ui {

namespace {

const char* const kUsage =
    "Usage:\n"
    "  quillon-mtu-cli show   [--family nt|9x]\n"
    "  quillon-mtu-cli apply MTU [--family nt|9x]\n"
    "  quillon-mtu-cli remove [--family nt|9x]\n"
    "  quillon-mtu-cli probe HOST [--apply [--family nt|9x]]\n"
    "  quillon-mtu-cli export [--family nt|9x] > FILE.reg\n"
    "  quillon-mtu-cli --help | -h | /?\n"
    "  quillon-mtu-cli --version\n";

const char* const kHelp =
    "Sets, removes and shows the MTU that Windows uses on every network adapter.\n"
    "\n"
    "  show     each adapter with the MTU stored for it and the one in use now,\n"
    "           the path-MTU-discovery switch, and what the window's File >\n"
    "           Retrieve MTU would show\n"
    "  apply    stores MTU (88 to 1500) for every adapter and switches path-MTU\n"
    "           discovery off\n"
    "  remove   deletes the MTU of every adapter and the path-MTU-discovery switch\n"
    "  probe    finds the largest packet (IP header included) that reaches HOST, an\n"
    "           IPv4 address or a name, and comes back unfragmented; --apply then\n"
    "           applies it as apply does (it needs an elevated prompt)\n"
    "  export   writes a registry file that puts back every value apply and\n"
    "           remove change, as it is now (regedit /s FILE.reg)\n"
    "  --family acts on the NT family (nt) or the 9x family (9x) only; without\n"
    "           it every family whose product name is found is acted on\n"
    "\n"
    "Exit codes: 0 done; 1 an operation failed, found nothing to act on, or the\n"
    "probe found no MTU; 2 the command line was wrong. Changes take effect when\n"
    "Windows restarts.\n";

// The MTU box of a family as the console has it: text that it sets itself.
class ConsoleTextBox final : public TextBox {
public:
    void SetMaxLength(int) override {}
    [[nodiscard]] std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }
    void OnChange(Handler) override {}

private:
    std::string text_;
};

// Message boxes become lines: information on standard output, warnings and
// errors on standard error.
class ConsoleMessages final : public MessageBoxes {
public:
    explicit ConsoleMessages(ConsoleOutput& output) : output_(output) {}
    void MsgBox(const std::string& prompt, int style, const std::string&) override {
        if (style == kMbIconInformation) {
            output_.Out(prompt + "\n");
        } else {
            output_.Err(prompt + "\n");
            failed_ = true;
        }
    }
    [[nodiscard]] bool Failed() const { return failed_; }

private:
    ConsoleOutput& output_;
    bool failed_ = false;
};

class ConsoleWindows final : public settings::SettingsWindows {
public:
    explicit ConsoleWindows(ConsoleOutput& output) : messages_(output) {}
    TextBox& NtMtuBox() override { return nt_; }
    TextBox& MtuBox9x() override { return nineX_; }
    MessageBoxes& Messages() override { return messages_; }
    [[nodiscard]] bool Failed() const { return messages_.Failed(); }

private:
    ConsoleTextBox nt_;
    ConsoleTextBox nineX_;
    ConsoleMessages messages_;
};

enum class Command { kShow, kApply, kRemove, kProbe, kExport };

struct CommandLine {
    Command command = Command::kShow;
    std::string mtu;
    std::string host;
    bool applyProbed = false;           // probe's --apply
    std::optional<std::string> family;  // "nt" or "9x"
};

// Reads the command line; on a mistake, says what was wrong.
std::optional<CommandLine> Parse(const std::vector<std::string>& arguments, std::string& error) {
    CommandLine line;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--family" || argument.rfind("--family=", 0) == 0) {
            const bool joined = argument != "--family";
            if (!joined && i + 1 == arguments.size()) {
                error = "--family needs nt or 9x";
                return std::nullopt;
            }
            const std::string family = joined ? argument.substr(9) : arguments[++i];
            if (family != "nt" && family != "9x") {
                error = "--family takes nt or 9x, not '" + family + "'";
                return std::nullopt;
            }
            if (line.family) {
                error = "--family is given twice";
                return std::nullopt;
            }
            line.family = family;
        } else if (argument == "--apply") {
            if (line.applyProbed) {
                error = "--apply is given twice";
                return std::nullopt;
            }
            line.applyProbed = true;
        } else if (argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9')) {
            error = "unknown option '" + argument + "'";
            return std::nullopt;
        } else {
            words.push_back(argument);
        }
    }
    if (words.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    const std::string& command = words.front();
    const std::size_t operands = words.size() - 1;
    if (command == "show" || command == "remove" || command == "export") {
        line.command = command == "show" ? Command::kShow : command == "remove" ? Command::kRemove : Command::kExport;
        if (operands != 0) {
            error = "'" + command + "' takes no MTU or other argument";
            return std::nullopt;
        }
    } else if (command == "apply") {
        line.command = Command::kApply;
        if (operands != 1) {
            error = operands == 0 ? "'apply' needs an MTU" : "'apply' takes one MTU";
            return std::nullopt;
        }
        line.mtu = words[1];
        if (!settings::Applicable(line.mtu)) {
            error = "the MTU must be a number from 88 to 1500 of at most four characters, not '" + line.mtu + "'";
            return std::nullopt;
        }
    } else if (command == "probe") {
        line.command = Command::kProbe;
        if (operands != 1) {
            error = operands == 0 ? "'probe' needs a host" : "'probe' takes one host";
            return std::nullopt;
        }
        line.host = words[1];
    } else {
        error = "unknown command '" + command + "'";
        return std::nullopt;
    }
    if (line.applyProbed && line.command != Command::kProbe) {
        error = "--apply goes with 'probe' only";
        return std::nullopt;
    }
    if (line.command == Command::kProbe && line.family && !line.applyProbed) {
        error = "--family goes with 'probe' only together with --apply";
        return std::nullopt;
    }
    return line;
}

// What the path-MTU-discovery switch is set to: on where nothing is stored,
// as in Windows' own default.
std::string SwitchState(const reg::RawValue& value, bool nineX) {
    using State = reg::RawValue::State;
    if (value.state == State::kKeyMissing || value.state == State::kValueMissing) {
        return "on (not stored, the default)";
    }
    if (value.state == State::kUnreadable) {
        return "unknown (it could not be read)";
    }
    const std::vector<std::uint8_t>& data = value.data;
    if (!nineX && value.type == reg::kRegDword && data.size() == 4) {
        return data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 0 ? "off (stored)" : "on (stored)";
    }
    if (nineX && value.type == reg::kRegSz && !data.empty() && (data.size() == 1 || data[1] == 0) &&
        (data[0] == '0' || data[0] == '1')) {
        return data[0] == '0' ? "off (stored)" : "on (stored)";
    }
    return "unknown (a value of another form is stored)";
}

void Show(settings::Module1& module, ConsoleWindows& windows, bool nineX, ConsoleOutput& output,
          reg::Registry& registry, net::Network* network) {
    const std::vector<settings::SlotReport> slots = nineX ? module.ListTransports9x() : module.ListAdaptersNt();
    for (const settings::SlotReport& slot : slots) {
        const std::string value = nineX ? "MaxMTU" : "MTU";
        // 0: the system does not say.
        const unsigned inUse = network != nullptr ? network->MtuInUse(slot.name).value_or(0) : 0;
        std::string line = "  " + std::string(nineX ? "transport " : "card ") + slot.slot + "  " + slot.name + "  ";
        if (!slot.description.empty()) {
            line += "\"" + slot.description + "\"  ";
        }
        line += (slot.mtu ? value + " " + *slot.mtu : "no " + value + " stored") + "  in use now: ";
        line += inUse != 0 ? std::to_string(inUse) : std::string("unknown");
        if (inUse != 0 && slot.mtu && *slot.mtu != std::to_string(inUse)) {
            line += " (" + *slot.mtu + " from the next restart)";
        }
        output.Out(line + "\n");
    }
    const settings::ToolValue pmtuSwitch = (nineX ? module.ToolValues9x() : module.ToolValuesNt()).back();
    output.Out("  path-MTU discovery (" + pmtuSwitch.name + "): " +
               SwitchState(registry.GetRawValue(reg::kHkeyLocalMachine, pmtuSwitch.path, pmtuSwitch.name), nineX) +
               "\n");
    if (nineX) {
        module.RetrieveMtu9x();
    } else {
        module.RetrieveMtuNt();
    }
    output.Out("MTU: " + (nineX ? windows.MtuBox9x() : windows.NtMtuBox()).Text() + "\n");
}

// Prints each probe as it comes back.
class ProbePrinter final : public net::ProbeListener {
public:
    explicit ProbePrinter(ConsoleOutput& output) : output_(output) {}
    void OnProbe(int packetSize, const net::Echo& echo) override {
        std::string what;
        switch (echo.outcome) {
            case net::EchoOutcome::kPassed:
                what = "passed (" + std::to_string(echo.elapsedMs) + " ms)";
                break;
            case net::EchoOutcome::kTooBig:
                what = echo.refusedHere         ? "too big for what this system knows of the path"
                       : echo.nextHopMtu != 0 ? "too big, a router names MTU " + std::to_string(echo.nextHopMtu)
                                              : "too big, a router names no MTU";
                break;
            case net::EchoOutcome::kNoAnswer:
                what = "no answer (too big, or lost)";
                break;
            case net::EchoOutcome::kUnreachable:
                what = "unreachable: " + echo.reason;
                break;
            case net::EchoOutcome::kCannotSend:
                what = "not sent: " + echo.reason;
                break;
        }
        output_.Out("  " + std::to_string(packetSize) + " bytes: " + what + "\n");
    }

private:
    ConsoleOutput& output_;
};

// Probes the path to the host; gives the MTU found, or says why there is none.
std::optional<int> ProbePath(const std::string& host, net::Network& network, ConsoleOutput& output) {
    std::string address;
    std::string failure;
    if (!network.OpenPath(host, address, failure)) {
        output.Err(failure + "\n");
        return std::nullopt;
    }
    output.Out("Probing the path to " + host + (address == host ? "" : " (" + address + ")") + " with packets of " +
               std::to_string(net::kSmallestProbe) + " to " + std::to_string(net::kLargestProbe) +
               " bytes that may not be fragmented:\n");
    ProbePrinter printer(output);
    const net::PathMtu path = net::FindPathMtu(network, printer);
    const std::string probes = std::to_string(path.probes) + (path.probes == 1 ? " probe" : " probes");
    switch (path.status) {
        case net::PathStatus::kFound:
            output.Out(path.mtu == net::kLargestProbe
                           ? "The path carries full 1500-byte packets: it needs no change of MTU (" + probes + ").\n"
                           : "The path to " + host + " carries packets of at most " + std::to_string(path.mtu) +
                                 " bytes (" + probes + ").\n");
            return path.mtu;
        case net::PathStatus::kSilent:
            output.Err(host + " did not answer even the smallest probe: it may be down, or it may not answer "
                              "echo requests (ping). Probe a host that answers ping.\n");
            break;
        case net::PathStatus::kUnreachable:
            output.Err(host + " cannot be reached: " + path.reason + ".\n");
            break;
        case net::PathStatus::kBelowRange:
            output.Err("The path to " + host + " does not carry even " + std::to_string(net::kSmallestProbe) +
                       "-byte packets, the smallest MTU this tool sets.\n");
            break;
        case net::PathStatus::kCannotSend:
            output.Err("This system cannot send an unfragmented probe: " + path.reason +
                       ". Run quillon-mtu-cli from an elevated prompt (as an administrator) and try again.\n");
            break;
        case net::PathStatus::kInterrupted:
            output.Err("The probe was interrupted. Nothing was written.\n");
            break;
        case net::PathStatus::kOutOfBounds:
            output.Err("The probe gave up after " + probes + " with no exact answer" +
                       (path.mtu != 0 ? "; packets of " + std::to_string(path.mtu) + " bytes passed" : std::string()) +
                       ". The path may be losing many packets: try again later.\n");
            break;
    }
    return std::nullopt;
}

}  // namespace

int RunConsole(const std::vector<std::string>& arguments, reg::Registry& registry, ConsoleOutput& output,
               net::Network* network) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "/?")) {
        output.Out(std::string(kUsage) + "\n" + kHelp);
        return kExitSuccess;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        output.Out(std::string(settings::kToolTitle) + " " + QUILLON_VERSION + "\n");
        return kExitSuccess;
    }
    std::string error;
    std::optional<CommandLine> line = Parse(arguments, error);
    if (!line) {
        output.Err("quillon-mtu-cli: " + error + "\n" + kUsage);
        return kExitUsage;
    }
    if (line->command == Command::kProbe && !line->applyProbed) {
        const std::optional<int> mtu = network != nullptr ? ProbePath(line->host, *network, output) : std::nullopt;
        if (mtu) {
            output.Out("MTU: " + std::to_string(*mtu) + "\n");
        }
        return mtu ? kExitSuccess : kExitFailure;
    }

    const ProductNames names = ReadProductNames(registry);
    const bool nt = !names.nt.empty() && line->family.value_or("nt") == "nt";
    const bool nineX = !names.nineX.empty() && line->family.value_or("9x") == "9x";
    if (!nt && !nineX) {
        output.Err(line->family ? "The " + *line->family + " family of Windows was not found on this machine.\n"
                                : std::string(kNoSupportedWindows) + "\n");
        return kExitFailure;
    }

    // probe --apply: nothing is sent where nothing could be applied, and
    // nothing is written where no MTU was found.
    std::optional<int> probed;
    if (line->command == Command::kProbe) {
        probed = network != nullptr ? ProbePath(line->host, *network, output) : std::nullopt;
        if (!probed) {
            return kExitFailure;
        }
        line->command = Command::kApply;
        line->mtu = std::to_string(*probed);
    }

    ConsoleWindows windows(output);
    settings::Module1 module(registry, windows);
    std::string file = kRegFileHeader;
    for (const bool family9x : {false, true}) {
        if (family9x ? !nineX : !nt) {
            continue;
        }
        TextBox& box = family9x ? windows.MtuBox9x() : windows.NtMtuBox();
        switch (line->command) {
            case Command::kShow:
                output.Out(Caption(family9x ? names.nineX : names.nt) + "\n");
                Show(module, windows, family9x, output, registry, network);
                break;
            case Command::kExport: {
                std::vector<ExportedValue> values;
                for (const settings::ToolValue& value : family9x ? module.ToolValues9x() : module.ToolValuesNt()) {
                    values.push_back({value, registry.GetRawValue(reg::kHkeyLocalMachine, value.path, value.name)});
                }
                std::string unreadable;
                if (!AppendRegSection(family9x ? RegFamily::k9x : RegFamily::kNt,
                                      Caption(family9x ? names.nineX : names.nt), values, file, unreadable)) {
                    output.Err(unreadable + " Nothing was exported.\n");
                    return kExitFailure;
                }
                break;
            }
            case Command::kApply:
            case Command::kProbe:
                box.SetText(line->mtu);
                family9x ? module.ApplyMtu9x() : module.ApplyMtuNt();
                break;
            case Command::kRemove:
                family9x ? module.RemoveMtu9x() : module.RemoveMtuNt();
                break;
        }
    }
    if (probed) {
        output.Out("MTU: " + line->mtu + "\n");
    }
    if (line->command == Command::kExport) {
        output.Out(file);
    }
    return windows.Failed() ? kExitFailure : kExitSuccess;
}

}  // namespace quillon::ui
