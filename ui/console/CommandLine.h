#pragma once
// The console program's command line: one command and its options.

#include <optional>
#include <string>
#include <vector>

#include "net/Mtu.h"
#include "settings/SettingsEngine.h"

namespace quillon::ui {

enum class Command { kShow, kApply, kRemove, kCheck, kProbe, kExport };

struct CommandLine {
    Command command = Command::kShow;
    std::string verb;                        // the command as given
    std::string mtu;                         // apply, check
    std::string host;                        // probe
    std::string file;                        // export: the file to write (none: standard output)
    bool applyProbed = false;                // probe's --apply
    bool json = false;                       // --json: one JSON document on standard output
    std::optional<settings::WindowsFamily> family;  // --family: one family only
    std::optional<std::string> adapter;  // the one adapter to act on, as show names it; or "route" (probe)
    std::optional<net::IpVersion> ipVersion;  // -4, -6: the one IP version apply, remove and check act on
};

extern const char* const kUsage;
extern const char* const kHelp;

// How --family names a family: "nt" or "9x".
const char* FamilyOption(settings::WindowsFamily family);

// The MTU `text` is, where it is a whole number from 88 to 1500 written in
// digits only ("0088" is 88); else 0.
unsigned WholeMtu(const std::string& text);

// Whether --adapter names the route's adapter (any case).
bool IsRoute(const std::string& adapter);

// Reads the command line (without the program's name) into `line`; false,
// saying what was wrong, on a mistake.
bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLine& line, std::string& error);

}  // namespace quillon::ui
