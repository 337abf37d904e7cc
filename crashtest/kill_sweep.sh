#!/usr/bin/env bash
# kill_sweep.sh PROGRAM LIST CASE SCRATCH
#
# Kills the program with SIGKILL at each of its file-system system calls in
# turn while it updates the bank code list LIST laid out for update case CASE
# (A, B or C), and after every kill runs it again to completion. The kill comes
# from outside (strace's fault injection); the program has no hooks for it.
#
# After each kill:
#  - the list the next run will read (root list and RS folder: the root list;
#    else the RS list; else the root list) is byte for byte the old list or the
#    list an undisturbed run makes of it, never partial, never missing;
#  - the next run completes, and its live list and backup are what an
#    undisturbed run on the list it read leaves: backup = that list, live list
#    = the program's result for it, no work file or scratch copy left beside
#    them. The next run also never waits for the killed run's lock.
# Both runs are interactive and answered No, so the database is never needed.
# Prints one summary line; exits non-zero on the first broken invariant.
set -euo pipefail
program=$1
list=$2
case_name=$3
scratch=$4

# Every system call that opens, reads, writes, syncs, renames, deletes, closes
# or inspects a file, whichever of them the C library happens to use.
syscalls=openat,open,creat,read,pread64,readv,write,pwrite64,writev,fsync,fdatasync,
syscalls+=close,rename,renameat,renameat2,unlink,unlinkat,newfstatat,stat,lstat,fstat,
syscalls+=statx,lseek,ftruncate,readlink,copy_file_range,sendfile,sync_file_range,getdents64,
syscalls+=flock,fcntl

. "$(dirname "$0")/check_result.sh"
mkdir -p "$scratch"
install=$scratch/install
printf 'n\n' > "$scratch/answer"

fail() {
  echo "kill_sweep: case $case_name: $*" >&2
  exit 1
}

# A fresh installation for the case, with stale companions where the case
# meets them: backups and work files that an earlier run left.
lay_out() {  # lay_out CASE LIST
  rm -rf "$install"
  mkdir -p "$install/Sifranti"
  cp "$program" "$install/quarnel"
  case $1 in
    A)
      mkdir "$install/Sifranti/RS"
      cp "$2" "$install/sifrant_bank.dat"
      printf 'stale root backup\r\n' > "$install/sifrant_bank.old"
      printf 'an older RS list\r\nZZZZ|rs\r\n' > "$install/Sifranti/RS/sifrant_bank.dat"
      printf 'stale RS backup\r\n' > "$install/Sifranti/RS/sifrant_bank.old"
      ;;
    B)
      mkdir "$install/Sifranti/RS"
      cp "$2" "$install/Sifranti/RS/sifrant_bank.dat"
      printf 'stale RS work file\r\n' > "$install/Sifranti/RS/sifrant_bank.txt"
      printf 'stale root backup\r\n' > "$install/sifrant_bank.old"
      ;;
    C)
      cp "$2" "$install/sifrant_bank.dat"
      printf 'stale root backup\r\n' > "$install/sifrant_bank.old"
      printf 'stale root work file\r\n' > "$install/sifrant_bank.txt"
      ;;
  esac
}

# The update case the files in the installation give.
next_case() {
  if [ -f "$install/sifrant_bank.dat" ] && [ -e "$install/Sifranti/RS" ]; then echo A
  elif [ -f "$install/Sifranti/RS/sifrant_bank.dat" ]; then echo B
  elif [ -f "$install/sifrant_bank.dat" ]; then echo C
  else echo D
  fi
}

# The folder whose list a run of that case reads, and the one it writes.
read_folder() { case $1 in A | C) echo "$install" ;; *) echo "$install/Sifranti/RS" ;; esac; }
write_folder() { case $1 in C) echo "$install" ;; *) echo "$install/Sifranti/RS" ;; esac; }

run() {  # runs the installed program, answering No
  "$install/quarnel" < "$scratch/answer" > "$scratch/out" 2> "$scratch/err"
}

# What an undisturbed run makes of the list $1, into $2.
result_of() {
  lay_out C "$1"
  run || fail "an undisturbed run failed: $(cat "$scratch/err")"
  cp "$install/sifrant_bank.dat" "$2"
}

old=$scratch/old.dat
new=$scratch/new.dat
newer=$scratch/newer.dat
cp "$list" "$old"
result_of "$old" "$new"
result_of "$new" "$newer"

# The undisturbed run of the case itself, traced to find its kill points.
lay_out "$case_name" "$old"
strace -f -qq -o "$scratch/trace" -e trace="$syscalls" "$install/quarnel" \
  < "$scratch/answer" > /dev/null 2> "$scratch/err" ||
  fail "the traced run failed: $(cat "$scratch/err")"
cmp -s "$(read_folder "$(next_case)")/sifrant_bank.dat" "$new" ||
  fail "the undisturbed run did not give the new list"
# "PID name(args) = result" -> "name count", in order of first use.
counts=$(sed -n 's/^[0-9]* *\([a-z0-9_]*\)(.*/\1/p' "$scratch/trace" |
  awk '!seen[$1]++ { order[++n] = $1 } { count[$1]++ }
       END { for (i = 1; i <= n; i++) print order[i], count[order[i]] }')

kill_points=0
left_old=0
left_new=0
while read -r syscall total; do
  for ((n = 1; n <= total; n++)); do
    where="$syscall #$n of $total"
    lay_out "$case_name" "$old"
    status=0
    # The group's redirection also silences the shell's "Killed" notice.
    { strace -f -qq -o /dev/null -e trace="$syscall" \
        -e inject="$syscall":signal=SIGKILL:when="$n" "$install/quarnel" \
        < "$scratch/answer" > /dev/null; } 2> /dev/null || status=$?
    [ "$status" -eq 137 ] || fail "$where: the program was not killed (exit $status)"
    kill_points=$((kill_points + 1))

    taken=$(next_case)
    [ "$taken" != D ] || fail "$where: no list left for the next run"
    reads=$(read_folder "$taken")/sifrant_bank.dat
    if cmp -s "$reads" "$old"; then
      left_old=$((left_old + 1))
      expect_live=$new
      expect_backup=$old
    elif cmp -s "$reads" "$new"; then
      left_new=$((left_new + 1))
      expect_live=$newer
      expect_backup=$new
    else
      fail "$where: the next run would read a list that is neither the old nor the new one"
    fi

    run || fail "$where: the next run (case $taken) failed: $(cat "$scratch/err")"
    check_result "$(write_folder "$taken")" "$expect_live" "$expect_backup" "$taken" \
      "$where: after the next run (case $taken)"
  done
done <<< "$counts"

echo "case $case_name: $kill_points kill points ($(paste -sd, <<< "$counts" | sed 's/,/, /g'));" \
  "the next run read the old list after $left_old and the new list after $left_new;" \
  "every next run completed with the expected list and backup"
