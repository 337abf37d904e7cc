#!/usr/bin/env bash
# Cross-builds the Windows program (quarnel.exe, PELX.dll and
# tarvo-auth-write.exe) with mingw-w64 as it ships, 32-bit, runs the whole
# test suite as Windows programs under 32-bit Wine, then answers real message
# boxes under Xvfb. A 64-bit build is made as a check that it still builds.
#
#   scripts/test-windows.sh [BUILD_DIR]      (default build/windows-tests)
#
# The tests have a build folder of their own: one configured by hand (the
# README's build command turns the tests off) never hides them.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=${1:-build/windows-tests}
jobs=$(nproc)
. scripts/wine-session.sh

start=$SECONDS
echo "== 64-bit Windows build (a build check; the program ships 32-bit)"
cmake --no-warn-unused-cli -S . -B build/windows-x86_64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build build/windows-x86_64 -j"$jobs"

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
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$jobs"
echo "== Tests in $build (32-bit Windows programs under Wine)"
# Wine's odbc32 hands ODBC to the system's driver manager, the i386 one for
# 32-bit programs, so the database tests reach the same throw-away servers as
# the POSIX builds through the i386 drivers.
(cd "$build" && QUARNEL_ODBC_ARCH=i386-linux-gnu "$repo/scripts/db/with-databases.sh" \
  ctest --output-on-failure --no-tests=error -j"$jobs")

echo "== Runs at once and the event log (32-bit Windows program under Wine)"
scratch=$(mktemp -d)
# The list is made by the POSIX program, which writes the same rows.
[ -x build/plain/quarnel ] || { cmake -S . -B build/plain >/dev/null &&
  cmake --build build/plain -j"$jobs" --target quarnel >/dev/null; }
crashtest/make_list.sh build/plain/quarnel 2000 > "$scratch/list.dat"
for case_name in A C; do
  crashtest/concurrent_runs.sh "$build/quarnel.exe" "$scratch/list.dat" "$case_name" 15 \
    "$scratch/meet-$case_name"
done
# A failed silent run leaves one error entry of the source "Quarnel", which
# Wine's event log shows on its debug channel.
mkdir "$scratch/empty"
cp "$build/quarnel.exe" "$scratch/empty/"
status=0
WINEDEBUG=err+eventlog wine "$scratch/empty/quarnel.exe" -s > /dev/null 2> "$scratch/eventlog" ||
  status=$?
[ "$status" -eq 2 ] || { echo "test-windows: a run without settings exited $status" >&2; exit 1; }
grep -q 'eventlog:ReportEventW L"Error 53: Opening file: .*PersonalTarvo.ini' "$scratch/eventlog" || {
  echo "test-windows: no event-log entry for the failed run:" >&2
  cat "$scratch/eventlog" >&2
  exit 1
}
echo "the failed run exited 2 and left its entry in the event log"

# The files as a release ships them: reproducible, checked, signed.
scripts/windows-release-check.sh "$build"
rm -rf "$scratch"
wine_session_end
trap - EXIT

scripts/windows-ui-test.sh "$build"
echo "== Windows builds and tests took $((SECONDS - start)) s"
