# Sourced by the crash tests, which define fail() and $install.
#
#   check_result FOLDER LIVE BACKUP CASE WHERE
#
# After a completed run of update case CASE that wrote into FOLDER: the live
# list there is the file LIVE, the backup the file BACKUP, no work file or
# scratch copy is left, and after case A no root list either.
check_result() {
  local at=$1 live=$2 backup=$3 case_name=$4 where=$5
  cmp -s "$at/sifrant_bank.dat" "$live" || fail "$where: the live list is not the expected one"
  cmp -s "$at/sifrant_bank.old" "$backup" ||
    fail "$where: the backup is not the list the last run read"
  [ ! -e "$at/sifrant_bank.txt" ] && [ ! -e "$at/sifrant_bank.tmp" ] ||
    fail "$where: a work file or a scratch copy was left behind"
  if [ "$case_name" = A ] && [ -e "$install/sifrant_bank.dat" ]; then
    fail "$where: the root list was left"
  fi
}
