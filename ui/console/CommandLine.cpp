#include "ui/console/CommandLine.h"

#include "settings/MtuNumber.h"
#include "ui/console/Text.h"

namespace quillon::ui {

const char* const kUsage =
    "Usage:\n"
    "  quillon-mtu-cli show   [--family nt|9x]\n"
    "  quillon-mtu-cli apply MTU [--family nt|9x]\n"
    "  quillon-mtu-cli remove [--family nt|9x]\n"
    "  quillon-mtu-cli probe HOST [--apply [--family nt|9x]]\n"
    "  quillon-mtu-cli export [--family nt|9x] [FILE.reg]\n"
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
    "           remove change, as it is now, to FILE.reg or standard output\n"
    "           (to go back: regedit /s FILE.reg)\n"
    "  --family acts on the NT family (nt) or the 9x family (9x) only; without\n"
    "           it every family whose product name is found is acted on\n"
    "\n"
    "Exit codes: 0 done; 1 an operation failed, found nothing to act on, or the\n"
    "probe found no MTU; 2 the command line was wrong. Changes take effect when\n"
    "Windows restarts.\n";

namespace {

struct Verb {
    const char* name;
    Command command;
    std::size_t fewest;  // words after the command
    std::size_t most;
};

constexpr Verb kVerbs[] = {
    {"show", Command::kShow, 0, 0},   {"remove", Command::kRemove, 0, 0}, {"export", Command::kExport, 0, 1},
    {"apply", Command::kApply, 1, 1}, {"probe", Command::kProbe, 1, 1},
};

// An option's value, given as "--name VALUE" or "--name=VALUE".
bool OptionValue(const std::vector<std::string>& arguments, std::size_t& i, const std::string& name,
                 std::string& value, bool& matched) {
    const std::string& argument = arguments[i];
    matched = argument == name || argument.rfind(name + "=", 0) == 0;
    if (!matched) {
        return true;
    }
    if (argument != name) {
        value = argument.substr(name.size() + 1);
        return true;
    }
    if (i + 1 == arguments.size()) {
        return false;
    }
    value = arguments[++i];
    return true;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments, std::string& error) {
    CommandLine line;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::string family;
        bool isFamily = false;
        if (!OptionValue(arguments, i, "--family", family, isFamily)) {
            error = "--family needs nt or 9x";
            return std::nullopt;
        }
        if (isFamily) {
            if (family != "nt" && family != "9x") {
                error = Cat({"--family takes nt or 9x, not '", family, "'"});
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
            error = Cat({"unknown option '", argument, "'"});
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
    const Verb* verb = nullptr;
    for (const Verb& known : kVerbs) {
        if (command == known.name) {
            verb = &known;
        }
    }
    if (verb == nullptr) {
        error = Cat({"unknown command '", command, "'"});
        return std::nullopt;
    }
    line.command = verb->command;
    const std::size_t operands = words.size() - 1;
    if (operands < verb->fewest || operands > verb->most) {
        const bool apply = line.command == Command::kApply;
        error = verb->most == 0                    ? Cat({"'", command, "' takes no MTU or other argument"})
                : line.command == Command::kExport ? std::string("'export' takes at most one file")
                : operands == 0 ? Cat({"'", command, apply ? "' needs an MTU" : "' needs a host"})
                                : Cat({"'", command, apply ? "' takes one MTU" : "' takes one host"});
        return std::nullopt;
    }
    if (line.command == Command::kApply) {
        line.mtu = words[1];
        if (!settings::Applicable(line.mtu)) {
            error = Cat({"the MTU must be a number from 88 to 1500 of at most four characters, not '",
                         line.mtu, "'"});
            return std::nullopt;
        }
    } else if (line.command == Command::kProbe) {
        line.host = words[1];
    } else if (line.command == Command::kExport && operands == 1) {
        line.file = words[1];
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

}  // namespace quillon::ui
