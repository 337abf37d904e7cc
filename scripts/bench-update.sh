#!/usr/bin/env bash
# Reports figures, tests no bound: the time and peak memory of the whole update
# (the release program, run interactively and answered No, so the database is
# never touched), before and after, next to copies of the same file.
#
# "Before" is the program built from the commit BASE (default a1ce943, the
# version before the speed work: 64 KiB line blocks, a shared C++ runtime,
# libodbc loaded at start), "after" is the
# program of this tree. Every list that "after" writes must be byte for byte
# the list that "before" wrote from the same input, and every backup the input
# itself; the script stops at the first difference.
#
# On generated lists of 1,000, 100,000 and 1,000,000 rows, one round after
# another (RUNS rounds, default 9), each command with a `sync` before it:
#   - the update, before and after;
#   - two plain copies: `cp` of the list, twice, each to a new file;
#   - two synced copies: `dd conv=fsync` of the list, twice, each to a new
#     file;
#   - a copy's floor: the file steps of the update without the row rules,
#     made with standard tools: a synced copy of the list as the backup
#     (`dd conv=fsync`), a synced rewrite of the same bytes into the work
#     file (`dd conv=fsync`) and the rename of the work file over the list
#     (`mv`). The update's folder syncs and its lock are not in it.
# Then a start: a 40-row list, answered No, before and after, against
# `/bin/true`, START_RUNS rounds (default 401), each with a `sync` before it.
# Each time is the shell's wall time around the command, its start included,
# and the median of its rounds; each peak memory (resident set, from GNU time)
# is measured in a run of its own.
#
# Builds in build/release and build/bench-base; works in build/bench-update,
# on the file system of the repository.
set -euo pipefail
export LC_ALL=C
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
runs=${RUNS:-9}
start_runs=${START_RUNS:-401}
base=$(git rev-parse --verify "${BASE:-a1ce943}^{commit}")
build=build/release
base_build=build/bench-base
bench=build/bench-update

[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target quarnel >/dev/null
if [ "$(cat "$base_build/commit" 2>/dev/null)" != "$base" ]; then
  rm -rf "$base_build"
  mkdir -p "$base_build/src"
  git archive "$base" | tar -x -C "$base_build/src"
  cmake -S "$base_build/src" -B "$base_build/build" -DCMAKE_BUILD_TYPE=Release \
    -DQUARNEL_BUILD_TESTS=OFF >/dev/null
  cmake --build "$base_build/build" -j"$(nproc)" --target quarnel >/dev/null
  echo "$base" > "$base_build/commit"
fi

rm -rf "$bench"
mkdir -p "$bench/before" "$bench/after" "$bench/floor"
cp "$base_build/build/quarnel" "$bench/before/quarnel"
cp "$build/quarnel" "$bench/after/quarnel"
printf 'n\n' > "$bench/answer"

# timed COMMAND...: runs it once after a sync; appends its wall time in
# microseconds to $bench/times.NAME, NAME being the first argument.
timed() {
  local name=$1 t0 t1
  shift
  sync
  t0=$EPOCHREALTIME
  "$@" < "$bench/answer" > /dev/null 2> "$bench/err" || {
    echo "bench-update: $name failed:" >&2
    cat "$bench/err" >&2
    exit 1
  }
  t1=$EPOCHREALTIME
  echo $((${t1/./} - ${t0/./})) >> "$bench/times.$name"
}

# median NAME: the median of the times of NAME, in milliseconds.
median() {
  sort -n "$bench/times.$1" | awk '{ t[NR] = $1 } END { printf "%.2f", t[int((NR + 1) / 2)] / 1000 }'
}

# peak COMMAND...: the peak resident set of one run, in kilobytes.
peak() {
  /usr/bin/time -f %M -o "$bench/peak" "$@" < "$bench/answer" > /dev/null 2> "$bench/err"
  tail -n 1 "$bench/peak"
}

# put_list DIR: puts a fresh copy of the list in place for an update.
put_list() {
  cp "$bench/list.dat" "$1/sifrant_bank.dat"
  rm -f "$1/sifrant_bank.old"
}

# same_output: the list "after" wrote is the one "before" wrote, and both
# backups are the input.
same_output() {
  local what
  for what in before after; do
    cmp -s "$bench/list.dat" "$bench/$what/sifrant_bank.old" || {
      echo "bench-update: the backup that $what made differs from the list" >&2
      exit 1
    }
  done
  cmp "$bench/before/sifrant_bank.dat" "$bench/after/sifrant_bank.dat" || {
    echo "bench-update: the list written after differs from the list written before ($base)" >&2
    exit 1
  }
}

two_copies() {
  cp "$bench/list.dat" "$bench/copy1.dat"
  cp "$bench/list.dat" "$bench/copy2.dat"
}
two_synced_copies() {
  dd if="$bench/list.dat" of="$bench/copy1.dat" bs=1M conv=fsync status=none
  dd if="$bench/list.dat" of="$bench/copy2.dat" bs=1M conv=fsync status=none
}
floor() {
  local dir=$bench/floor
  dd if="$dir/sifrant_bank.dat" of="$dir/sifrant_bank.old" bs=1M conv=fsync status=none
  dd if="$dir/sifrant_bank.dat" of="$dir/sifrant_bank.txt" bs=1M conv=fsync status=none
  mv -f "$dir/sifrant_bank.txt" "$dir/sifrant_bank.dat"
}

echo "Quarnel update benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), before $(git rev-parse --short "$base"), after $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' with changes')"
echo "$(nproc) processors, $(df -T . | awk 'NR == 2 { print $2 }') file system; load at the start:$(uptime | sed 's/.*load average://')"
echo
echo "| Rows | List | 2 cp | 2 synced copies | Floor | Before | After | Before / 2 synced | After / 2 synced | After / 2 cp | After / floor | Peak memory before / after |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for rows in 1000 100000 1000000; do
  crashtest/make_list.sh "$build/quarnel" "$rows" > "$bench/list.dat"
  rm -f "$bench"/times.*
  for ((i = 0; i < runs; i++)); do
    put_list "$bench/before"
    timed before "$bench/before/quarnel"
    put_list "$bench/after"
    timed after "$bench/after/quarnel"
    same_output
    rm -f "$bench"/copy?.dat  # every copy is a new file, as the update's are
    timed cp two_copies
    rm -f "$bench"/copy?.dat
    timed dd two_synced_copies
    put_list "$bench/floor"
    timed floor floor
  done
  put_list "$bench/before"
  before_kb=$(peak "$bench/before/quarnel")
  put_list "$bench/after"
  after_kb=$(peak "$bench/after/quarnel")
  awk -v rows="$rows" -v size="$(stat -c %s "$bench/list.dat")" -v cp="$(median cp)" \
      -v dd="$(median dd)" -v fl="$(median floor)" -v b="$(median before)" \
      -v a="$(median after)" -v bk="$before_kb" -v ak="$after_kb" 'BEGIN {
    printf "| %d | %.1f MB | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %.2f | %.2f | %.2f | %.2f | %.1f / %.1f MiB |\n",
      rows, size / 1e6, cp, dd, fl, b, a, b / dd, a / dd, a / cp, a / fl, bk / 1024, ak / 1024
  }'
done

# The start: the list of 40 rows, answered No, against /bin/true.
crashtest/make_list.sh "$build/quarnel" 40 > "$bench/list.dat"
rm -f "$bench"/times.*
for ((i = 0; i < start_runs; i++)); do
  timed true /bin/true
  put_list "$bench/before"
  timed before "$bench/before/quarnel"
  put_list "$bench/after"
  timed after "$bench/after/quarnel"
done
same_output
put_list "$bench/before"
before_kb=$(peak "$bench/before/quarnel")
put_list "$bench/after"
after_kb=$(peak "$bench/after/quarnel")
echo
echo "| 40 rows, answered No | /bin/true | Before | After | Before / true | After / true | Peak memory before / after |"
echo "|---|---:|---:|---:|---:|---:|---:|"
awk -v t="$(median true)" -v b="$(median before)" -v a="$(median after)" \
    -v bk="$before_kb" -v ak="$after_kb" -v n="$start_runs" 'BEGIN {
  printf "| median of %d | %.2f ms | %.2f ms | %.2f ms | %.2f | %.2f | %.1f / %.1f MiB |\n",
    n, t, b, a, b / t, a / t, bk / 1024, ak / 1024
}'
echo
echo "Load at the end:$(uptime | sed 's/.*load average://')"
rm -rf "$bench"
