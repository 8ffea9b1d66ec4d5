#pragma once
// The DLLs the console program loads at run time come from the system folder
// only, and what it calls in them is looked up by name. Loaded by bare name,
// a DLL that is not one of the system's "known DLLs" is looked for in the
// program's own folder first, so a file planted beside the program (in a
// Downloads folder, say) would run with the program's rights.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <initializer_list>
#include <type_traits>

namespace quillon::net {

// Where the system has SetDefaultDllDirectories (Windows 8, and Vista and 7
// with update KB2533623), limits every later search for a DLL of this
// process, also those that system DLLs make for DLLs of their own, to the
// system folder. Elsewhere, from XP SP1 on, takes the current folder out of
// that search (SetDllDirectory with an empty folder); the program's own
// folder is still searched first there. Called once at start-up, before any
// DLL is loaded.
void RestrictLibrarySearch();

// The full path of `name` (such as "netsh.exe") in the system folder; false
// where the system folder's path is too long to name it.
bool SystemPath(const char* name, char (&path)[MAX_PATH]);

// Loads `name` (such as "iphlpapi.dll") from the system folder by its full
// path, with the DLLs it imports looked for from there too; nullptr where it
// is not there or the system folder's path is too long to name it.
HMODULE LoadSystemLibrary(const char* name);

// The function pointer, of the function's own type, that receives a function
// looked up in a library loaded at run time.
struct FunctionSlot {
    template <typename Function>
    FunctionSlot(Function& pointer) : slot(&pointer) {
        static_assert(std::is_pointer_v<Function> && std::is_function_v<std::remove_pointer_t<Function>> &&
                          sizeof(Function) == sizeof(FARPROC),
                      "a pointer to a function");
    }
    void* slot;
};

// Looks up in `module` (none: finds nothing) each function `names` names,
// one name after another, each ended by its NUL, in the order of `slots`:
// the first name into the first slot, and so on; nullptr where it is not
// there. True where every one is there. The names are one text, so that a
// look-up passes one pointer for all of them.
bool FindFunctions(HMODULE module, const char* names, std::initializer_list<FunctionSlot> slots);

}  // namespace quillon::net
