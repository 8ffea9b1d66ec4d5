// The console program's part of the lean runtime (ui/win32/LeanRuntime.cpp).
// It has no thread-local data and starts no thread, so it needs none of the
// start-up code's thread-local support: no TLS directory, whose section
// alone is 512 bytes of the program file, and no callback that runs the
// initialisers of such data (there are none). Should a change ever bring in
// thread-local data, the link fails for want of the TLS index.
//
// GCC's own runtime only: MSVC builds do not compile this file.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" {
// The names below are the start-up code's own.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
int __mingw_initltssuo_force = 0;
// NOLINTNEXTLINE(bugprone-reserved-identifier)
int __mingw_initltsdyn_force = 0;
// NOLINTNEXTLINE(bugprone-reserved-identifier)
int __mingw_initltsdrot_force = 0;
// NOLINTNEXTLINE(bugprone-reserved-identifier)
extern const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = nullptr;
}
