#pragma once
// The console program: show, apply and remove the MTU from the command line,
// probe the path to a host, and export the values it would change.
// It stands on the same settings engine as the windows, so the two can never
// write different things, and says what each operation did as the windows'
// message boxes do: on standard output where it went through, on standard
// error where it did not. It never waits for input.
//
//   quillon-mtu-cli show   [--family nt|9x] [--adapter A]
//   quillon-mtu-cli apply MTU [--family nt|9x] [--adapter A]
//   quillon-mtu-cli remove [--family nt|9x] [--adapter A]
//   quillon-mtu-cli probe HOST [--apply [--family nt|9x] [--adapter A|route]]
//   quillon-mtu-cli export [--family nt|9x] [FILE]
//   quillon-mtu-cli --help | -h | /?
//   quillon-mtu-cli --version
//
// Exit codes: 0 every operation succeeded; 1 an operation failed, found
// nothing to act on, or the probe found no MTU; 2 the command line was wrong
// (nothing was sent or written); 3 the MTU was stored (or deleted), but
// Windows would not put it (or the link's) into use now on some adapter.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "net/InterfaceTable.h"
#include "net/Prober.h"
#include "registry/Registry.h"

namespace quillon::ui {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotInUse = 3;  // stored, but Windows would not put it into use now

// Where the console program's text goes. Lines end in '\n'.
class ConsoleOutput {
public:
    ConsoleOutput() = default;
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;
    virtual ~ConsoleOutput() = default;
    virtual void Out(std::string_view text) = 0;
    virtual void Err(std::string_view text) = 0;
    // A message of several pieces, joined in one place rather than at each
    // of the many places that say something.
    void Out(std::initializer_list<std::string_view> pieces);
    void Err(std::initializer_list<std::string_view> pieces);
    // A message whose every '%' is the next of `values`.
    void Out(std::string_view pattern, std::initializer_list<std::string_view> values);
    void Err(std::string_view pattern, std::initializer_list<std::string_view> values);
    // Writes a registry file to standard output: on a console as Out does,
    // redirected in its own code page (ANSI); false, with the reason, where
    // the text could not be written whole (a full disk behind a redirection).
    virtual bool OutWhole(const std::string& text, std::string& failure) = 0;
    // Writes the bytes standard output would get into the file at `path`,
    // replacing one that is there only once the new one is whole; false,
    // with the reason, where that could not be done: then a file that was
    // there is as it was, and none is left where there was none. The reason
    // ends with a full stop and says what became of a file that was there.
    virtual bool Save(const std::string& path, const std::string& text, std::string& failure) = 0;
};

// Runs the command line (without the program's name); gives the exit code.
// Without a prober, probe finds nothing; without a table, no MTU in use is known.
int RunConsole(const std::vector<std::string>& arguments, reg::Registry& registry, ConsoleOutput& output,
               net::Prober* prober = nullptr, net::InterfaceTable* table = nullptr);

}  // namespace quillon::ui
