#!/usr/bin/env bash
# concurrent_runs.sh PROGRAM LIST CASE ROUNDS SCRATCH
#
# Starts three runs of the program at the same moment on one installation,
# laid out for update case CASE (A or C) with the bank code list LIST, in
# each of ROUNDS rounds, the way the start-up runner's silent run and a
# user's double-click meet. Meanwhile a reader keeps reading the list that a
# run starting at that moment would read.
#  - The reader never finds that list missing, empty or partial: it is always
#    the list of some number of runs in a row, from 0 to 3.
#  - After each round the live list and the backup are those of three runs in
#    a row: live list = the third run's result, backup = the second's.
# All runs are interactive and answered No, so the database is never needed.
# A Windows program (PROGRAM ending in .exe) runs under Wine, in the Wine
# session of the caller; without a desktop its question counts as No.
# Prints one summary line; exits non-zero on the first broken invariant.
set -euo pipefail
program=$1
list=$2
case_name=$3
rounds=$4
scratch=$5

. "$(dirname "$0")/check_result.sh"
mkdir -p "$scratch"
install=$scratch/install
printf 'n\n' > "$scratch/answer"

fail() {
  echo "concurrent_runs: case $case_name: $*" >&2
  exit 1
}

lay_out() {
  rm -rf "$install"
  mkdir -p "$install/Sifranti"
  cp "$program" "$install/$exe"
  cp "$list" "$install/sifrant_bank.dat"
  if [ "$case_name" = A ]; then
    mkdir "$install/Sifranti/RS"
    printf 'an older RS list\r\nZZZZ|rs\r\n' > "$install/Sifranti/RS/sifrant_bank.dat"
  fi
}

exe=quarnel
runner=()
case $program in *.exe) exe=quarnel.exe runner=("${QUARNEL_WINE:-wine}") ;; esac
run() { "${runner[@]}" "$install/$exe" < "$scratch/answer" > /dev/null 2>> "$scratch/err"; }

# list.0 is the old list, list.N the result of N runs in a row.
cp "$list" "$scratch/list.0"
for n in 1 2 3; do
  rm -rf "$install" && mkdir -p "$install" && cp "$program" "$install/$exe"
  cp "$scratch/list.$((n - 1))" "$install/sifrant_bank.dat"
  : > "$scratch/err"
  run || fail "an undisturbed run failed: $(cat "$scratch/err")"
  cp "$install/sifrant_bank.dat" "$scratch/list.$n"
done

# The list a run starting now would read, by the files present now.
reader() {
  local reads=0 file
  while [ ! -e "$scratch/stop" ]; do
    if [ -f "$install/sifrant_bank.dat" ] && [ -e "$install/Sifranti/RS" ]; then
      file=$install/sifrant_bank.dat
    elif [ -f "$install/Sifranti/RS/sifrant_bank.dat" ]; then
      file=$install/Sifranti/RS/sifrant_bank.dat
    else
      file=$install/sifrant_bank.dat
    fi
    # A list that went between the look and the read was moved, not lost: the
    # next look finds it. Three misses in a row are a lost list.
    if ! cat "$file" > "$scratch/seen" 2> /dev/null; then
      misses=$((${misses:-0} + 1))
      [ "$misses" -lt 3 ] || { echo "no list at $file" > "$scratch/broken"; return; }
      continue
    fi
    misses=0
    reads=$((reads + 1))
    cmp -s "$scratch/seen" "$scratch/list.0" || cmp -s "$scratch/seen" "$scratch/list.1" ||
      cmp -s "$scratch/seen" "$scratch/list.2" || cmp -s "$scratch/seen" "$scratch/list.3" || {
      cp "$scratch/seen" "$scratch/broken.list"
      echo "a list that no number of runs makes ($(wc -c < "$scratch/seen") bytes) at $file" \
        > "$scratch/broken"
      return
    }
  done
  echo "$reads" > "$scratch/reads"
}

at=$install
[ "$case_name" = A ] && at=$install/Sifranti/RS
total_reads=0
for ((round = 1; round <= rounds; round++)); do
  lay_out
  rm -f "$scratch/stop" "$scratch/broken" "$scratch/reads"
  : > "$scratch/err"
  reader &
  reader_pid=$!
  run & a=$!
  run & b=$!
  run & c=$!
  status=0
  wait "$a" || status=$?
  wait "$b" || status=$?
  wait "$c" || status=$?
  touch "$scratch/stop"
  wait "$reader_pid"
  [ "$status" -eq 0 ] || fail "round $round: a run failed: $(cat "$scratch/err")"
  [ ! -e "$scratch/broken" ] || fail "round $round: the reader found $(cat "$scratch/broken")"
  total_reads=$((total_reads + $(cat "$scratch/reads")))
  # Three runs in a row: the live list of the third, the backup of the second.
  check_result "$at" "$scratch/list.3" "$scratch/list.2" "$case_name" "round $round"
done
echo "case $case_name: $rounds rounds of three runs at once; the reader read the list" \
  "$total_reads times and found it whole every time; every round ended as three runs in a row"
