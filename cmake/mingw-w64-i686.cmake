# Cross-builds the shipped Windows program with Debian's mingw-w64: 32-bit,
# as the host product is. A 32-bit process sees the data sources registered
# for 32-bit programs and can load the host product's 32-bit PELX.dll.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake

set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUARNEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
