#!/usr/bin/env bash
# Reports figures, tests nothing: the time and peak memory of the whole update
# (the release program, run interactively and answered No, so the database is
# never touched) on generated lists of 1,000, 100,000 and 1,000,000 rows, next
# to a plain `cp` of the same file in the same run, and a copy that is synced
# to disk as the update syncs its backup and its new list.
#
# The target: the update within 1.5 times the cost of copying the file twice
# (the backup and the rewrite); peak memory that does not grow with the list.
# Each figure is the median of RUNS runs (default 5) in build/bench-update, on
# the file system of the repository, with the page cache written out first.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
runs=${RUNS:-5}
build=build/release
bench=build/bench-update

[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quarnel >/dev/null

rm -rf "$bench"
mkdir -p "$bench/install"
cp "$build/quarnel" "$bench/install/quarnel"
printf 'n\n' > "$bench/answer"

# measure COMMAND...: runs it once with the cache written out first; prints
# "milliseconds peak_kilobytes".
measure() {
  sync
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f %M -o "$bench/peak" "$@" < "$bench/answer" > /dev/null 2> "$bench/err" || {
    echo "bench-update: $* failed:" >&2
    cat "$bench/err" >&2
    exit 1
  }
  end=$(date +%s%N)
  echo "$(((end - start) / 1000)) $(tail -n 1 "$bench/peak")" |
    awk '{ printf "%.1f %d\n", $1 / 1000, $2 }'
}

# median_of COMMAND...: the median time and the largest peak over the runs.
median_of() {
  local i
  for ((i = 0; i < runs; i++)); do
    "$@"
  done | sort -n | awk '{ t[NR] = $1; if ($2 > m) m = $2 }
                        END { printf "%s %d\n", t[int((NR + 1) / 2)], m }'
}

plain_copy() { measure cp "$bench/list.dat" "$bench/copy.dat"; }
synced_copy() { measure dd if="$bench/list.dat" of="$bench/copy.dat" bs=256K conv=fsync status=none; }
update() {
  cp "$bench/list.dat" "$bench/install/sifrant_bank.dat"
  rm -f "$bench/install/sifrant_bank.old"
  measure "$bench/install/quarnel"
}

echo "| Rows | List | cp | Synced copy | Update | Update / 2 cp | Update / 2 synced copies | Peak memory cp / update |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
for rows in 1000 100000 1000000; do
  crashtest/make_list.sh "$build/quarnel" "$rows" > "$bench/list.dat"
  size=$(stat -c %s "$bench/list.dat")
  read -r cp_ms cp_kb < <(median_of plain_copy)
  read -r sync_ms _ < <(median_of synced_copy)
  read -r update_ms update_kb < <(median_of update)
  awk -v rows="$rows" -v size="$size" -v cp="$cp_ms" -v sc="$sync_ms" -v up="$update_ms" \
      -v cpk="$cp_kb" -v upk="$update_kb" 'BEGIN {
    printf "| %d | %.1f MB | %.1f ms | %.1f ms | %.1f ms | %.2f | %.2f | %.1f MB / %.1f MB |\n",
      rows, size / 1e6, cp, sc, up, up / (2 * cp), up / (2 * sc), cpk / 1024, upk / 1024
  }'
done
rm -rf "$bench"
