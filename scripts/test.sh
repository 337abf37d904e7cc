#!/usr/bin/env bash
# Builds Quarnel twice, plainly and under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole test suite in both builds,
# with throw-away PostgreSQL and MariaDB servers for the database tests; then
# kills the program at every file-system call of an update and fuzzes it.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
# Found out once, for the set-up and the Windows tests alike: which Windows
# build's suite this machine can run.
. scripts/windows-suite.sh
windows_suite
scripts/install-deps.sh test

# Everything printed is kept, so that the closing line can add up the tests.
mkdir -p build
log=build/test.log
exec > >(tee "$log") 2>&1

jobs=$(nproc)
build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

build build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo
build build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=ON

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for dir in build/plain build/sanitize; do
  echo "== Tests in $dir"
  # The database tests need their servers: started for the run, then stopped.
  (cd "$dir" && "$repo/scripts/db/with-databases.sh" ctest --output-on-failure -j"$jobs")
done
scripts/crash-test.sh build/plain
scripts/fuzz.sh
scripts/test-windows.sh

# One closing line over every CTest run above (POSIX plain, sanitized, and
# Windows under Wine); a failure has already ended the script.
echo "$QUARNEL_WINDOWS_SUITE_WHY"
awk '/tests passed, [0-9]+ tests failed out of [0-9]+/ {
       total += $NF; failed += $(NF - 4) }
     END { printf "ctest: %d passed, %d failed\n", total - failed, failed }' "$log"
