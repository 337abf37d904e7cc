# Cross-builds a 64-bit Windows program with Debian's mingw-w64. Kept as a
# build check only: a 64-bit program sees neither the 32-bit data sources
# nor the 32-bit PELX.dll of the host product, so it is never shipped.
#
#   cmake -S . -B build/windows-x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake

set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUARNEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
