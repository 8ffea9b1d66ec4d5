// A DLL that the console programs must never load: the network test puts it
// beside a copy of a console program under the names of the system DLLs the
// program loads at run time (iphlpapi.dll, icmp.dll, ws2_32.dll,
// wsock32.dll), as a file planted in a Downloads folder would be. Loaded, it
// leaves an empty file named after itself with ".loaded" added, and the test
// fails on that file. It exports nothing.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        constexpr char kMark[] = ".loaded";
        char path[MAX_PATH + sizeof kMark] = {};
        const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
        if (length != 0 && length < MAX_PATH) {
            lstrcatA(path, kMark);
            const HANDLE file =
                CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}
