#!/usr/bin/env bash
# Crash test: kills the built program at each of its file-system calls in turn
# during an update in each of the cases A, B and C, and checks after every
# kill that the list survives whole and the next run finishes the job
# (crashtest/kill_sweep.sh); then starts three runs at once, many rounds,
# while a reader checks that the list is never partial or missing
# (crashtest/concurrent_runs.sh). Builds the program in build/plain first, or uses
# the build folder given as the first argument.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=${1:-build/plain}

command -v strace >/dev/null || { echo "crash-test: strace is missing (scripts/install-deps.sh test)" >&2; exit 1; }
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quarnel >/dev/null
program=$build/quarnel
if ! strace -qq -o /dev/null true 2>/dev/null; then
  echo "crash-test: strace cannot trace here (is ptrace allowed?)" >&2
  exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# 12,000 rows (2.3 MB): several 1 MiB read and write blocks, so kills also
# land mid-copy and mid-write.
crashtest/make_list.sh "$program" 12000 > "$scratch/list.dat"

start=$SECONDS
total=0
for case_name in A B C; do
  summary=$(crashtest/kill_sweep.sh "$program" "$scratch/list.dat" "$case_name" "$scratch/$case_name")
  echo "$summary"
  total=$((total + $(sed 's/^case .: \([0-9]*\) kill points.*/\1/' <<< "$summary")))
done
echo "crash-test: $total kill points in all, every one survived ($((SECONDS - start)) s)"

# Three runs at once on one installation, the way the start-up runner's run
# and a user's double-click meet (crashtest/concurrent_runs.sh).
start=$SECONDS
for case_name in A C; do
  crashtest/concurrent_runs.sh "$program" "$scratch/list.dat" "$case_name" 40 "$scratch/meet-$case_name"
done
echo "crash-test: runs at once in cases A and C ended as runs in a row ($((SECONDS - start)) s)"
