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

# Inputs too large to keep in the repository: lines of megabytes, run once
# each, and inputs of two to three read blocks with line ends at the blocks'
# ends, which seed the fuzzing.
long=$build/long-inputs
blocks=$build/block-inputs
rm -rf "$long" "$blocks" "$build/work" "$build/artifacts"
mkdir -p "$long/refresh" "$long/settings" "$blocks/refresh" "$blocks/settings" "$build/artifacts"
repeat() { head -c "$1" /dev/zero | tr '\0' "$2"; }
megabyte() { repeat 1048576 "$1"; }
{ printf 'HEADER\r\nAGRL|'; megabyte x; printf '\r\nKOBB|1\r\n'; } > "$long/refresh/long_row"
{ printf 'HEADER\r\n'; megabyte '|'; } > "$long/refresh/long_separators"
{ megabyte x; printf '\r\n'; megabyte '\r'; megabyte '\n'; printf 'DEMO|x\r\n'; } \
  > "$long/refresh/long_header_and_line_ends"
{ printf 'DBName='; megabyte ' '; printf 'x'; megabyte ' '; } > "$long/settings/long_value"
# A CR LF split by the first block's end (byte 65535), a lone CR at the
# second's (byte 131071).
{ printf 'H\r\nAGRL|'; repeat 65527 x; printf '\r\nKOBB|'; repeat 65529 y; printf '\rDEMO|1\r\n'; } \
  > "$blocks/refresh/line_ends_at_block_ends"
{ printf 'DBName=a'; repeat 65527 ' '; printf '\r\nDBName=b'; repeat 65526 ' '; printf '\rDBName=c\n'; } \
  > "$blocks/settings/line_ends_at_block_ends"
for i in $(seq 1 4000); do printf 'DBName=n%d \r\nx=%d\r[s]\n' "$i" "$i"; done \
  > "$blocks/settings/many_short_lines"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in refresh settings; do
  work=$build/work/$target
  mkdir -p "$work"
  log=$build/$target.log
  echo "== Fuzzing $target for $seconds s"
  if "$build/${target}_fuzzer" "$long/$target"/* -artifact_prefix="$build/artifacts/$target-" \
      > "$log" 2>&1 &&
      "$build/${target}_fuzzer" "$work" "fuzz/corpus/$target" "$blocks/$target" -max_len=196608 \
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
