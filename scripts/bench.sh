#!/usr/bin/env bash
# Builds the benchmarks in Release and prints their figures: rows per second
# through the row rules, the whole update of a generated list of a million
# rows next to plain copies of the same file, and the peak memory of each.
# Arguments are passed to the benchmark (e.g. --benchmark_filter=MigrateRow).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
scripts/install-deps.sh test

build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF \
  -DQUARNEL_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target quarnel_bench >/dev/null
"$build/bench/quarnel_bench" "$@"
