# Cross build for Windows with MinGW-w64. QUILLON_ARCH picks the processor
# (x86_64 or i686); QUILLON_THREADS the thread model of the compilers:
# "win32" for the shipped programs, which use no threads and so need no
# threading library, "posix" for the test programs, since GoogleTest needs
# std::mutex.
set(QUILLON_ARCH x86_64 CACHE STRING "x86_64 or i686")
set(QUILLON_THREADS posix CACHE STRING "win32 or posix")

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLON_ARCH})
set(triple ${QUILLON_ARCH}-w64-mingw32)

set(CMAKE_C_COMPILER ${triple}-gcc-${QUILLON_THREADS})
set(CMAKE_CXX_COMPILER ${triple}-g++-${QUILLON_THREADS})
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(QUILLON_WINE NAMES wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLON_WINE})
