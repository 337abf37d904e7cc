#!/usr/bin/env bash
# make_list.sh PROGRAM ROWS: writes to standard output a bank code list as the
# host product keeps it, with ROWS data lines after an older 16-column header.
#
# The rows are built from the built-in rows that PROGRAM itself writes for
# a list that has only a header, so they carry real bank codes, names and
# hosts. They come in the mix an old installation has: most banks in the
# current 21-column form, many in the older 16-column form, banks the program
# does not know (some with a seven-digit MTTO), and banks that have closed.
# Every line ends in CR LF; the bytes are code page 1250.
set -euo pipefail
program=$1
rows=$2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$program" "$scratch/quarnel"
printf 'HEADER\r\n' > "$scratch/sifrant_bank.dat"
if ! "$scratch/quarnel" < /dev/null > /dev/null 2> "$scratch/err"; then
  echo "make_list.sh: the program failed on a header-only list:" >&2
  cat "$scratch/err" >&2
  exit 1
fi
tail -n +2 "$scratch/sifrant_bank.dat" | tr -d '\r' > "$scratch/builtin"
# Each bank once, in 21 columns: what the program writes for a list with no bank.
if ! LC_ALL=C awk -F'|' 'NF != 21 || seen[$1]++ { bad = 1 } END { exit bad || NR == 0 }' \
    "$scratch/builtin"; then
  echo "make_list.sh: the program's $(wc -l < "$scratch/builtin") rows for a header-only" \
       "list are not the built-in rows, each bank once in 21 columns" >&2
  exit 1
fi

LC_ALL=C awk -v rows="$rows" -F'|' -v OFS='|' '
  { template[NR - 1] = $0 }
  function first16(line,   f, n, out, i) {
    n = split(line, f, "|")
    out = f[1]
    for (i = 2; i <= 16 && i <= n; i++) out = out "|" f[i]
    return out
  }
  function stranger(line, i,   code, f, n, out, k) {
    # A bank the program does not know: another code, MTTO one digit short.
    code = sprintf("Q%03d", i % 1000)
    n = split(line, f, "|")
    f[1] = code
    f[3] = code
    f[5] = substr(f[5], 2)
    out = f[1]
    for (k = 2; k <= n; k++) out = out "|" f[k]
    return out
  }
  END {
    split("PBPA DDOR PABN SREB NLLH", closed, " ")
    printf "BANKID(C)|TRRID(C)|ENGINEID(C)|NAME(C)|MTTO(C)|IPADDRESS(C)|PCPORT(C)|TVUPORT(C)|CERTFILENAME(C)|CONNTYPE(C)|ENTRYNAME(C)|TIMEOUT(C)|OUTPUTWINSIZE(C)|NUMDOC(C)|ICONFILENAME(C)|FIRSTCONNECTIONSTATUS(C)\r\n"
    for (i = 0; i < rows; i++) {
      line = template[i % NR]
      kind = i % 10
      if (kind <= 3) out = line
      else if (kind <= 6) out = first16(line)
      else if (kind == 7) out = stranger(first16(line), i)
      else if (kind == 8) out = stranger(line, i)
      else out = closed[int(i / 10) % 5 + 1] substr(first16(line), 5)
      printf "%s\r\n", out
    }
  }
' "$scratch/builtin"
