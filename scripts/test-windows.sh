#!/usr/bin/env bash
# Cross-builds the Windows program (quarnel.exe, PELX.dll and
# tarvo-auth-write.exe) with mingw-w64 and runs the whole test suite as
# Windows programs under Wine, then answers real message boxes under Xvfb.
#
# The program ships 32-bit, and where this machine runs 32-bit programs the
# suite runs on that build under 32-bit Wine, with a 64-bit build made as a
# check that it still builds. Where the kernel refuses 32-bit programs, the
# same suite runs on the 64-bit build under 64-bit Wine, and the 32-bit build
# is still made and its files checked without running them (see
# windows-suite.sh).
#
#   scripts/test-windows.sh [BUILD_DIR]
#     BUILD_DIR  the suite's build (default build/windows-tests, or
#                build/windows-tests-x86_64 for the 64-bit suite)
#
# The tests have a build folder of their own: one configured by hand (the
# build command of docs/windows.md turns the tests off) never hides them.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
jobs=$(nproc)
. scripts/wine-session.sh
echo "== $QUARNEL_WINDOWS_SUITE_WHY"

start=$SECONDS
# Builds the Windows program for ARCH (i686 or x86_64) in DIR; further
# arguments go to CMake.
windows_build() {
  local dir=$1 arch=$2
  shift 2
  cmake --no-warn-unused-cli -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-w64-$arch.cmake" \
    -DQUARNEL_WINE="$QUARNEL_WINE" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

if [ "$QUARNEL_WINDOWS_SUITE" = i686 ]; then
  build=${1:-build/windows-tests}
  echo "== 64-bit Windows build (a build check; the program ships 32-bit)"
  other=build/windows-x86_64 other_arch=x86_64
  # Wine's odbc32 hands ODBC to the driver manager of the program's own
  # architecture: i386 drivers for 32-bit programs.
  odbc_arch=i386-linux-gnu
else
  build=${1:-build/windows-tests-x86_64}
  echo "== 32-bit Windows build, as it ships (checked here without running it)"
  other=build/windows-i686 other_arch=i686
  odbc_arch=
fi
windows_build "$other" "$other_arch" -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF
(cd "$other" && ctest --output-on-failure --no-tests=error)

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
windows_build "$build" "$QUARNEL_WINDOWS_SUITE" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARNEL_BUILD_TESTS=ON
echo "== Tests in $build ($QUARNEL_WINDOWS_SUITE Windows programs under Wine)"
# The database tests reach the same throw-away servers as the POSIX builds.
(cd "$build" && QUARNEL_ODBC_ARCH=$odbc_arch "$repo/scripts/db/with-databases.sh" \
  ctest --output-on-failure --no-tests=error -j"$jobs")

echo "== Runs at once and the event log ($QUARNEL_WINDOWS_SUITE Windows program under Wine)"
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
WINEDEBUG=err+eventlog "$QUARNEL_WINE" "$scratch/empty/quarnel.exe" -s > /dev/null 2> "$scratch/eventlog" ||
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
