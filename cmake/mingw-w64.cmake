# Cross build for Windows with MinGW-w64. QUILLON_ARCH picks the processor
# (x86_64 or i686); QUILLON_THREADS the thread model of the compilers:
# "win32" for the shipped programs, which use no threads and so need no
# threading library, "posix" for the test programs, since GoogleTest needs
# std::mutex. Debian and Ubuntu name their compilers by both
# (x86_64-w64-mingw32-g++-win32); elsewhere, as in MSYS2, a compiler has one
# thread model and its plain name (x86_64-w64-mingw32-g++, or g++ in the
# MINGW32 and MINGW64 shells), which is taken where the first is not there.
# Building needs nothing else; the tests' configuration looks for Wine.
set(QUILLON_ARCH x86_64 CACHE STRING "x86_64 or i686")
set(QUILLON_THREADS posix CACHE STRING "win32 or posix")

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUILLON_ARCH})
set(triple ${QUILLON_ARCH}-w64-mingw32)

# The bare names are the host's own compilers on Linux: taken only on Windows.
if(CMAKE_HOST_WIN32)
  set(bare_cc gcc)
  set(bare_cxx g++)
  set(bare_rc windres)
endif()
find_program(QUILLON_CC NAMES ${triple}-gcc-${QUILLON_THREADS} ${triple}-gcc ${bare_cc} NO_CACHE REQUIRED)
find_program(QUILLON_CXX NAMES ${triple}-g++-${QUILLON_THREADS} ${triple}-g++ ${bare_cxx} NO_CACHE REQUIRED)
find_program(QUILLON_RC NAMES ${triple}-windres ${bare_rc} NO_CACHE REQUIRED)
set(CMAKE_C_COMPILER ${QUILLON_CC})
set(CMAKE_CXX_COMPILER ${QUILLON_CXX})
set(CMAKE_RC_COMPILER ${QUILLON_RC})

if(EXISTS /usr/${triple})
  set(CMAKE_FIND_ROOT_PATH /usr/${triple})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
