#include "net/win32/PersistentStore.h"

#include <string>

#include "net/win32/SystemLibrary.h"
#include "text/Fill.h"

namespace quillon::net {

namespace {

// netsh ends in well under a second; one that hangs does not hold the run.
// A 32-bit program on 64-bit Windows runs the 32-bit netsh (System32 is
// SysWOW64 for it), which Windows ships with the same interface commands.
constexpr DWORD kNetshWaitMs = 30000;

}  // namespace

void KeepIpv6Mtu(NET_IFINDEX index, unsigned mtu, MtuChange& change) {
    change.kept = Kept::kNotStarted;
    char netsh[MAX_PATH] = {};
    if (!SystemPath("netsh.exe", netsh)) {
        change.keepError = ERROR_FILENAME_EXCED_RANGE;
        return;
    }
    // The interface by its index, which netsh takes as it takes a name.
    std::string command = text::Fill("\"%\" interface ipv6 set subinterface % mtu=% store=persistent",
                                     {netsh, static_cast<unsigned>(index), mtu});
    // What netsh prints goes nowhere: the console program's own output
    // (its --json above all) stays its own.
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE nowhere =
        CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                    OPEN_EXISTING, 0, nullptr);
    if (nowhere == INVALID_HANDLE_VALUE) {
        change.keepError = GetLastError();
        return;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nowhere;
    startup.hStdOutput = nowhere;
    startup.hStdError = nowhere;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(netsh, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                       &startup, &process) == FALSE) {
        change.keepError = GetLastError();
        CloseHandle(nowhere);
        return;
    }
    CloseHandle(nowhere);
    CloseHandle(process.hThread);
    DWORD exitCode = 0;
    const DWORD waited = WaitForSingleObject(process.hProcess, kNetshWaitMs);
    if (waited == WAIT_TIMEOUT) {
        // Ended, so that it stores nothing after its line said so, and lets
        // go of the handles it was given.
        TerminateProcess(process.hProcess, ERROR_TIMEOUT);
        change.kept = Kept::kTimedOut;
    } else if (waited != WAIT_OBJECT_0 || GetExitCodeProcess(process.hProcess, &exitCode) == FALSE) {
        change.keepError = GetLastError();
    } else {
        change.kept = exitCode == 0 ? Kept::kKept : Kept::kRefused;
        change.keepError = exitCode;
    }
    CloseHandle(process.hProcess);
}

}  // namespace quillon::net
