#include "net/win32/SystemLibrary.h"

#include <cstring>

namespace quillon::net {

namespace {

// From the Windows 8 headers, which the older ones lack.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

void RestrictLibrarySearch() {
    // kernel32.dll is in every process; this looks it up, it loads nothing.
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    BOOL(WINAPI * setDefault)(DWORD) = nullptr;
    if (FindFunctions(kernel, "SetDefaultDllDirectories", {setDefault}) &&
        setDefault(kSearchSystem32) != FALSE) {
        return;
    }
    // Without it (XP SP1 to 7 without that update), an empty DLL directory
    // takes the current folder out of the search; the program's own folder
    // still comes first there.
    BOOL(WINAPI * setDirectory)(LPCSTR) = nullptr;
    if (FindFunctions(kernel, "SetDllDirectoryA", {setDirectory})) {
        setDirectory("");
    }
}

bool SystemPath(const char* name, char (&path)[MAX_PATH]) {
    // GetSystemDirectory names System32 on NT (which WOW64 maps to SysWOW64
    // for a 32-bit program) and SYSTEM on 95, 98 and Me.
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    const std::size_t nameLength = std::strlen(name);
    if (length == 0 || length >= MAX_PATH || length + 1 + nameLength >= MAX_PATH) {
        return false;
    }
    std::size_t end = length;
    if (path[end - 1] != '\\') {
        path[end++] = '\\';
    }
    std::memcpy(path + end, name, nameLength + 1);
    return true;
}

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH] = {};
    // With a full path, LOAD_WITH_ALTERED_SEARCH_PATH looks for the DLL's own
    // imports in its folder first rather than in the program's.
    return SystemPath(name, path) ? LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) : nullptr;
}

bool FindFunctions(HMODULE module, const char* names, std::initializer_list<FunctionSlot> slots) {
    bool all = true;
    for (const FunctionSlot& function : slots) {
        const FARPROC found = module != nullptr ? GetProcAddress(module, names) : nullptr;
        std::memcpy(function.slot, &found, sizeof found);
        all = all && found != nullptr;
        names += std::strlen(names) + 1;
    }
    return all;
}

}  // namespace quillon::net
