# What both Windows toolchain files share (mingw-w64-i686.cmake,
# mingw-w64-x86_64.cmake); they set QUARNEL_MINGW_PREFIX and
# CMAKE_SYSTEM_PROCESSOR, then include this file.
#
# The -posix compilers are the ones whose C++ library has std::thread and
# std::mutex. Everything is linked statically, so quarnel.exe and PELX.dll
# need no libstdc++, libgcc or libwinpthread DLL beside them.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUARNEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNEL_MINGW_PREFIX}-windres)
# The message compiler that makes the program's message table.
set(CMAKE_MC_COMPILER ${QUARNEL_MINGW_PREFIX}-windmc)

# Headers and libraries come from the cross toolchain only, programs from
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUARNEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
# A static library found by path (libodbc32.a) makes CMake switch the linker
# back to dynamic libraries after it; switch back to static at the end so the
# compiler's own libraries are never taken as DLLs.
set(CMAKE_LINK_SEARCH_END_STATIC ON)

# Wine runs what the build makes: test discovery and CTest. Debian's `wine`
# starts 32-bit programs; a 64-bit suite names Wine's own 64-bit loader here
# (scripts/windows-suite.sh).
set(QUARNEL_WINE wine CACHE STRING "The Wine loader that runs the built programs")
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUARNEL_WINE})
