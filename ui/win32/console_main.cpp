// The console program's entry point: the real registry, and standard output
// and standard error as the process was given them.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "net/win32/Win32Network.h"
#include "registry/Registry.h"
#include "registry/Win32Registry.h"
#include "ui/console/Console.h"

namespace {

// Writes lines with CR LF endings, as Windows programs do; nothing is
// buffered, so the order of the two streams is kept.
class StandardHandles final : public quillon::ui::ConsoleOutput {
public:
    void Out(const std::string& text) override { Write(STD_OUTPUT_HANDLE, text); }
    void Err(const std::string& text) override { Write(STD_ERROR_HANDLE, text); }

private:
    static void Write(DWORD which, const std::string& text) {
        std::string lines;
        for (const char c : text) {
            if (c == '\n') {
                lines += '\r';
            }
            lines += c;
        }
        const HANDLE handle = GetStdHandle(which);
        DWORD written = 0;
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            WriteFile(handle, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    quillon::reg::Win32Registry platform;
    quillon::reg::Registry registry(platform);
    StandardHandles output;
    quillon::net::Win32Network network;
    return quillon::ui::RunConsole(arguments, registry, output, &network);
}
