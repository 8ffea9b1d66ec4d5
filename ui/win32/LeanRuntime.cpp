// The shipped programs link the C++ runtime statically. None of their code
// catches an exception, so every exception the library could throw would end
// the program through std::terminate. These definitions end it at the point
// of the throw instead, which behaves the same for the user and keeps the
// exception classes, their string copies, the unwinder and the name
// demangler of the default terminate handler out of the program file.
//
// GCC's own runtime only: MSVC builds do not compile this file.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

namespace {
[[noreturn]] void Fail() { std::abort(); }
}  // namespace

// The library's throw helpers, all of them defined in one place.
namespace std {
void __throw_bad_cast() { Fail(); }
void __throw_bad_alloc() { Fail(); }
void __throw_bad_typeid() { Fail(); }
void __throw_logic_error(const char*) { Fail(); }
void __throw_range_error(const char*) { Fail(); }
void __throw_domain_error(const char*) { Fail(); }
void __throw_length_error(const char*) { Fail(); }
void __throw_out_of_range(const char*) { Fail(); }
void __throw_bad_exception() { Fail(); }
void __throw_runtime_error(const char*) { Fail(); }
void __throw_overflow_error(const char*) { Fail(); }
void __throw_underflow_error(const char*) { Fail(); }
void __throw_invalid_argument(const char*) { Fail(); }
void __throw_out_of_range_fmt(const char*, ...) { Fail(); }
void __throw_bad_array_new_length() { Fail(); }
void __throw_bad_function_call() { Fail(); }
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { Fail(); }
}  // namespace __gnu_cxx

// Replacements of the global allocation functions: out of memory ends the
// program, as the uncaught std::bad_alloc would.
void* operator new(std::size_t size) {
    void* memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) {
        Fail();
    }
    return memory;
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

// The start-up code patches references to data that the program imports from
// a DLL without declaring it so ("pseudo relocations"). The programs import
// no data: the linker's list of such references is empty, and the patching
// code, with the section lookups it needs, stays out of the program. Should a
// change ever bring one in, the program ends at its start rather than run
// with an unpatched reference, and every test that starts it fails.
extern "C" {
// The names below are the start-up code's and the linker's own.
extern const char __RUNTIME_PSEUDO_RELOC_LIST__;      // NOLINT(bugprone-reserved-identifier)
extern const char __RUNTIME_PSEUDO_RELOC_LIST_END__;  // NOLINT(bugprone-reserved-identifier)
void _pei386_runtime_relocator() {
    if (&__RUNTIME_PSEUDO_RELOC_LIST__ != &__RUNTIME_PSEUDO_RELOC_LIST_END__) {
        Fail();
    }
}
}

// The start-up code's other hooks, each of which would bring in more of the
// runtime than these programs use: a handler for crashes that turns them into
// signals (the programs set no signal handler, so Windows' own handling is
// what they get either way), one for floating-point errors of the maths
// library (they do no such maths), and the running of destructors of
// thread-local keys (they create none, and start no thread).
extern "C" {
LPTOP_LEVEL_EXCEPTION_FILTER __mingw_oldexcpt_handler = nullptr;  // NOLINT(bugprone-reserved-identifier)
LONG WINAPI _gnu_exception_handler(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }
int _matherr(struct _exception*) { return 0; }
BOOL WINAPI __mingw_TLScallback(HANDLE, DWORD, LPVOID) { return TRUE; }  // NOLINT(bugprone-reserved-identifier)
}
