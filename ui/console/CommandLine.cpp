#include "ui/console/CommandLine.h"

#include <initializer_list>
#include <string_view>

#include "net/Mtu.h"
#include "settings/MtuNumber.h"
#include "ui/console/Text.h"

namespace quillon::ui {

const char* const kUsage =
    "Usage: quillon-mtu-cli COMMAND, one of\n"
    "  show   [--family nt|9x] [--adapter A] [--json]\n"
    "  apply MTU [-4|-6] [--family nt|9x] [--adapter A] [--json]\n"
    "  remove [-4|-6] [--family nt|9x] [--adapter A] [--json]\n"
    "  check MTU [-4|-6] [--family nt|9x] [--adapter A] [--json]\n"
    "  probe HOST [-4|-6] [--apply [--family nt|9x] [--adapter A|route]] [--json]\n"
    "  export [--family nt|9x] [FILE.reg]\n"
    "  --help (or -h, /?), --version\n";

const char* const kHelp =
    "Sets, shows and removes the MTU of the network adapters: of every one, or\n"
    "of the one --adapter names. On Vista and later apply and remove also change\n"
    "the MTU in use at once, for IPv4 and IPv6; elsewhere changes take effect\n"
    "when Windows restarts.\n"
    "\n"
    "  show     each adapter's stored MTU and the one in use now, and the\n"
    "           path-MTU-discovery switch\n"
    "  apply    stores MTU (88 to 1500) and switches path-MTU discovery off\n"
    "  remove   deletes the MTU and the switch\n"
    "  check    whether each adapter stores MTU and uses no more (reads only)\n"
    "  probe    finds the MTU of the path to HOST; --apply applies it (from 576)\n"
    "  export   a registry file that puts those values back: regedit /s FILE.reg\n"
    "  --family one family of Windows only\n"
    "  --adapter one adapter, as show names it; for probe, route: the one the\n"
    "           route to HOST leaves through\n"
    "  -4, -6   apply, remove and check for that IP version only; -6 stores\n"
    "           nothing and leaves the switch alone. probe -6 probes over IPv6\n"
    "           (an IPv6 address too), and --apply then applies IPv6's MTU only\n"
    "  --json   one JSON document on standard output, the text on standard error\n"
    "\n"
    "Exit codes: 0 done (check: complies); 1 failed, found nothing to act on,\n"
    "or does not comply; 2 a wrong command line, with nothing sent or written;\n"
    "3 stored, but Windows would not put it into use now.\n";

namespace {

// Names held in place, not pointed to, so that the tables need no relocation.
struct Verb {
    char name[8];
    Command command;
    unsigned char fewest;  // words after the command
    unsigned char most;
};

constexpr Verb kVerbs[] = {
    {"show", Command::kShow, 0, 0},   {"remove", Command::kRemove, 0, 0}, {"export", Command::kExport, 0, 1},
    {"apply", Command::kApply, 1, 1}, {"probe", Command::kProbe, 1, 1},  {"check", Command::kCheck, 1, 1},
};

// The options that take a value, as "--name VALUE" or "--name=VALUE", as
// given: views of the arguments, which last as long as the reading.
struct Values {
    std::optional<std::string_view> family;
    std::optional<std::string_view> adapter;
};

struct ValueOption {
    std::optional<std::string_view> Values::*value;
    char name[10];
    char needs[30];
};

const ValueOption kValueOptions[] = {
    {&Values::family, "--family", " needs nt or 9x"},
    {&Values::adapter, "--adapter", " needs the name of an adapter"},
};

// Says what was wrong with the command line, in pieces joined here once.
bool Refuse(std::string& error, std::initializer_list<std::string_view> pieces) {
    error = Cat(pieces);
    return false;
}

}  // namespace

unsigned WholeMtu(const std::string& text) {
    unsigned number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || number > net::kLargestStoredMtu) {
            return 0;
        }
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number >= net::kSmallestStoredMtu && number <= net::kLargestStoredMtu ? number : 0;
}

const char* FamilyOption(settings::WindowsFamily family) { return family == settings::WindowsFamily::kNt ? "nt" : "9x"; }

bool IsRoute(const std::string& adapter) {
    return adapter.size() == 5 && (adapter[0] | 0x20) == 'r' && (adapter[1] | 0x20) == 'o' &&
           (adapter[2] | 0x20) == 'u' && (adapter[3] | 0x20) == 't' && (adapter[4] | 0x20) == 'e';
}

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line, std::string& error) {
    Values given;
    // The command and its operand, and how many words there are.
    const std::string* command = nullptr;
    const std::string* operand = nullptr;
    std::size_t words = 0;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const ValueOption* option = nullptr;
        std::string_view value;
        for (const ValueOption& known : kValueOptions) {
            const std::string_view optionName = known.name;
            const std::size_t length = optionName.size();
            if (std::string_view(argument).substr(0, length) == optionName &&
                (argument.size() == length || argument[length] == '=')) {
                option = &known;
                const bool joined = argument.size() != length;
                if (!joined && i + 1 == arguments.size()) {
                    break;
                }
                value =
                    joined ? std::string_view(argument).substr(length + 1) : std::string_view(arguments[++i]);
            }
        }
        if (option != nullptr) {
            std::optional<std::string_view>& field = given.*option->value;
            if (value.empty()) {
                return Refuse(error, {option->name, option->needs});
            }
            if (field) {
                return Refuse(error, {option->name, " is given twice"});
            }
            field.emplace(value);
        } else if (argument == "--json") {
            if (line.json) {
                return Refuse(error, {"--json is given twice"});
            }
            line.json = true;
        } else if (argument == "--apply") {
            if (line.applyProbed) {
                return Refuse(error, {"--apply is given twice"});
            }
            line.applyProbed = true;
        } else if (argument == "-4" || argument == "-6") {
            if (line.ipVersion) {
                return Refuse(error, {"-4 or -6 is given twice"});
            }
            line.ipVersion = argument[1] == '4' ? net::IpVersion::k4 : net::IpVersion::k6;
        } else if (argument.size() > 1 && argument[0] == '-' && !(argument[1] >= '0' && argument[1] <= '9')) {
            return Refuse(error, {"unknown option '", argument, "'"});
        } else {
            if (words == 0) {
                command = &argument;
            } else if (words == 1) {
                operand = &argument;
            }
            ++words;
        }
    }
    if (given.family) {
        for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
            if (*given.family == FamilyOption(family)) {
                line.family = family;
            }
        }
        if (!line.family) {
            return Refuse(error, {"--family takes nt or 9x, not '", *given.family, "'"});
        }
    }
    if (given.adapter) {
        line.adapter.emplace(*given.adapter);
    }
    if (command == nullptr) {
        return Refuse(error, {"no command given"});
    }
    const Verb* verb = nullptr;
    for (const Verb& known : kVerbs) {
        if (*command == known.name) {
            verb = &known;
        }
    }
    if (verb == nullptr) {
        return Refuse(error, {"unknown command '", *command, "'"});
    }
    line.command = verb->command;
    line.verb = verb->name;
    const std::size_t operands = words - 1;
    if (operands < verb->fewest || operands > verb->most) {
        return Refuse(error, {"'", *command, "' takes ",
                              verb->most == 0                   ? "no MTU or other argument"
                              : verb->fewest == 0               ? "at most one file"
                              : line.command == Command::kProbe ? "one host"
                                                                : "one MTU"});
    }
    if (operand != nullptr) {
        (line.command == Command::kProbe    ? line.host
         : line.command == Command::kExport ? line.file
                                            : line.mtu) = *operand;
    }
    if (line.command == Command::kApply && !settings::Applicable(line.mtu)) {
        return Refuse(error, {"the MTU must be a number from 88 to 1500 of at most four characters, not '",
                              line.mtu, "'"});
    }
    if (line.command == Command::kCheck && WholeMtu(line.mtu) == 0) {
        return Refuse(error, {"check takes a whole number from 88 to 1500, not '", line.mtu, "'"});
    }
    if (line.ipVersion && line.command != Command::kApply && line.command != Command::kRemove &&
        line.command != Command::kCheck && line.command != Command::kProbe) {
        return Refuse(error, {"-4 and -6 go with 'apply', 'remove', 'check' and 'probe' only"});
    }
    // An IPv6 address (no name has a colon), also in brackets as in a URL,
    // is probed over IPv6, and what --apply applies is IPv6's.
    if (line.host.size() > 2 && line.host.front() == '[' && line.host.back() == ']') {
        line.host = line.host.substr(1, line.host.size() - 2);
    }
    if (line.command == Command::kProbe && !line.ipVersion && line.host.find(':') != std::string::npos) {
        line.ipVersion = net::IpVersion::k6;
    }
    // IPv6 cannot take less than its smallest MTU, and -6 stores nothing
    // that Windows could use instead.
    if (line.ipVersion == net::IpVersion::k6 && !line.mtu.empty() &&
        WholeMtu(line.mtu) < net::kSmallestIpv6Mtu) {
        return Refuse(error,
                      {"with -6 the MTU must be a whole number from 1280 (IPv6's smallest MTU) to 1500, "
                       "not '",
                       line.mtu, "'"});
    }
    if (line.json && line.command == Command::kExport) {
        return Refuse(error, {"--json does not go with 'export', which writes a registry file"});
    }
    if (line.applyProbed && line.command != Command::kProbe) {
        return Refuse(error, {"--apply goes with 'probe' only"});
    }
    if (line.command == Command::kProbe && (line.family || line.adapter) && !line.applyProbed) {
        return Refuse(
            error, {line.family ? "--family" : "--adapter", " goes with 'probe' only together with --apply"});
    }
    if (line.adapter && line.command == Command::kExport) {
        return Refuse(error, {"--adapter does not go with 'export', which writes every adapter's values"});
    }
    if (line.adapter && line.command != Command::kProbe && IsRoute(*line.adapter)) {
        return Refuse(error, {"--adapter route goes with 'probe --apply' only"});
    }
    return true;
}

}  // namespace quillon::ui
