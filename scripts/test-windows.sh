#!/usr/bin/env bash
# Cross-builds the Windows program (quarnel.exe, PELX.dll and
# tarvo-auth-write.exe) with mingw-w64, runs the whole test suite as Windows
# programs under Wine, then answers real message boxes under Xvfb.
#
#   scripts/test-windows.sh [BUILD_DIR]      (default build/windows)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=${1:-build/windows}
jobs=$(nproc)
. scripts/wine-session.sh

start=$SECONDS
# Without a display no message box can be shown: the question counts as No
# and each box's text goes to the standard error that the test reads. Wine
# keeps the display it started with, so it goes before Wine starts.
unset DISPLAY
wine_session_start
trap wine_session_end EXIT
# A spare drive whose root is a scratch folder, for the drive-root test.
mkdir "$WINEPREFIX/drive_q"
ln -s ../drive_q "$WINEPREFIX/dosdevices/q:"
export QUARNEL_TEST_DRIVE=Q:

# The build runs the test binary under Wine to list its tests.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$jobs"
echo "== Tests in $build (Windows programs under Wine)"
# Wine's odbc32 hands ODBC to the system's driver manager, so the database
# tests reach the same throw-away servers as the POSIX builds.
(cd "$build" && "$repo/scripts/db/with-databases.sh" ctest --output-on-failure -j"$jobs")
wine_session_end
trap - EXIT

scripts/windows-ui-test.sh "$build"
echo "== Windows build and tests took $((SECONDS - start)) s"
