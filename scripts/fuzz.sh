#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer (build/fuzz). Each target first runs once over a
# few inputs of megabytes made here (lines longer than any read block), then
# fuzzes for a bounded time from its seed corpus in fuzz/corpus/<target>/,
# with inputs of up to three read blocks so that lines keep crossing block
# ends. Fails on any crash, leak, sanitizer report or broken property; the
# input that caused it is kept in build/fuzz/artifacts/.
#   FUZZ_SECONDS   seconds of fuzzing for each target (default 30)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
seconds=${FUZZ_SECONDS:-30}
build=build/fuzz

[ -f "$build/CMakeCache.txt" ] ||
  cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j"$(nproc)" --target refresh_fuzzer settings_fuzzer >/dev/null

# Inputs too large to keep in the repository: lines of megabytes.
seeds=$build/long-inputs
rm -rf "$seeds" "$build/work" "$build/artifacts"
mkdir -p "$seeds/refresh" "$seeds/settings" "$build/artifacts"
megabyte() { head -c 1048576 /dev/zero | tr '\0' "$1"; }
{ printf 'HEADER\r\nAGRL|'; megabyte x; printf '\r\nKOBB|1\r\n'; } > "$seeds/refresh/long_row"
{ printf 'HEADER\r\n'; megabyte '|'; } > "$seeds/refresh/long_separators"
{ megabyte x; printf '\r\n'; megabyte '\r'; megabyte '\n'; printf 'DEMO|x\r\n'; } \
  > "$seeds/refresh/long_header_and_line_ends"
# A CR LF split by the first read block's end, a lone CR ending the second.
{ printf 'H\r\nAGRL|'; head -c 65527 /dev/zero | tr '\0' x; printf '\r\nKOBB|'
  head -c 65529 /dev/zero | tr '\0' y; printf '\rDEMO|1\r\n'; } > "$seeds/refresh/line_ends_at_block_ends"
{ printf 'DBName='; megabyte ' '; printf 'x'; megabyte ' '; } > "$seeds/settings/long_value"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in refresh settings; do
  work=$build/work/$target
  mkdir -p "$work"
  log=$build/$target.log
  echo "== Fuzzing $target for $seconds s"
  if "$build/${target}_fuzzer" "$seeds/$target"/* -artifact_prefix="$build/artifacts/$target-" \
      > "$log" 2>&1 &&
      "$build/${target}_fuzzer" "$work" "fuzz/corpus/$target" -max_len=196608 \
      -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$target-" >> "$log" 2>&1 &&
      ! grep -qE 'runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer' "$log"; then
    grep -E '^#[0-9]+.*DONE' "$log" || true
  else
    status=1
    echo "fuzz: $target failed; the end of $log:" >&2
    tail -n 40 "$log" >&2
  fi
done
exit $status
