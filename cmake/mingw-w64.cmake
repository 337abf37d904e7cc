# Cross-builds the Windows program with Debian's mingw-w64 and runs what it
# builds (test discovery, CTest) under Wine.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The -posix compilers are the ones whose C++ library has std::thread and
# std::mutex. Everything is linked statically, so quarnel.exe and PELX.dll
# need no libstdc++, libgcc or libwinpthread DLL beside them.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARNEL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARNEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNEL_MINGW_PREFIX}-windres)

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

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
