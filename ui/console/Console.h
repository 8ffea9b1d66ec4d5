#pragma once
// The console program: show, apply and remove the MTU from the command line,
// probe the path to a host, and export the values it would change.
// It stands on the same settings engine as the windows, so the two can never
// write different things, and says what each operation did as the windows'
// message boxes do: on standard output where it went through, on standard
// error where it did not. It never waits for input.
//
//   quillon-mtu-cli show   [--family nt|9x] [--adapter A] [--json]
//   quillon-mtu-cli apply MTU [--family nt|9x] [--adapter A] [--json]
//   quillon-mtu-cli remove [--family nt|9x] [--adapter A] [--json]
//   quillon-mtu-cli check MTU [--family nt|9x] [--adapter A] [--json]
//   quillon-mtu-cli probe HOST [--apply [--family nt|9x] [--adapter A|route]] [--json]
//   quillon-mtu-cli export [--family nt|9x] [FILE]
//   quillon-mtu-cli --help | -h | /?
//   quillon-mtu-cli --version
//
// With --json, standard output carries one JSON document and the prose goes
// to standard error.
//
// Exit codes: 0 every operation succeeded (check: every adapter complies);
// 1 an operation failed, found nothing to act on, the probe found no MTU, or
// an adapter does not comply; 2 the command line was wrong
// (nothing was sent or written); 3 the MTU was stored (or deleted), but
// Windows would not put it (or the link's) into use now on some adapter.

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/InterfaceTable.h"
#include "text/Fill.h"
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
    // A text kept as a string, or a C string of the program's: its view
    // made here, not at each place that says one.
    void Out(const std::string& text);
    void Out(const char* text);
    void Err(const std::string& text);
    void Err(const char* text);
    // A message of several pieces, joined in one place rather than at each
    // of the many places that say something.
    void Out(std::initializer_list<std::string_view> pieces);
    void Err(std::initializer_list<std::string_view> pieces);
    // A message whose every '%' is the next of `values`.
    void Out(const char* pattern, std::initializer_list<text::Piece> values);
    void Err(const char* pattern, std::initializer_list<text::Piece> values);
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
    // Writes UTF-8 text to standard output, as UTF-8 also where redirected
    // (the JSON document).
    virtual void OutUtf8(std::string_view text) { Out(text); }
    // The program's text (in the ANSI code page) as UTF-8; as it is here,
    // which serves for ASCII. The document is UTF-8 only as far as this is.
    virtual std::string Utf8(std::string_view text) { return std::string(text); }
    // A string value under HKEY_LOCAL_MACHINE read with the Unicode registry
    // call, as UTF-8, so that no character outside the ANSI code page is
    // lost; nothing where that cannot be done here.
    virtual std::optional<std::string> UnicodeString(const std::string& path, const std::string& name) {
        static_cast<void>(path);
        static_cast<void>(name);
        return std::nullopt;
    }
};

// Runs the command line (without the program's name); gives the exit code.
// Without a prober, probe finds nothing; without a table, no MTU in use is known.
int RunConsole(const std::vector<std::string>& arguments, reg::Registry& registry, ConsoleOutput& output,
               net::Prober* prober = nullptr, net::InterfaceTable* table = nullptr);

}  // namespace quillon::ui
