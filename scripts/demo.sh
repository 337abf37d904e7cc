#!/usr/bin/env bash
# Builds Quarnel, lays out a demo installation of the host product with its
# embedded default database (SQLite through ODBC) and runs the program in it,
# answering Yes: the stored list row before and after, and the bank code list
# before and after, in the older 16-column form with banks that were renamed
# and banks that closed.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
scripts/install-deps.sh demo

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

demo=build/demo-install
rm -rf "$demo"
mkdir -p "$demo/Sifranti"
cp "$build/quarnel" "$build/libPELX.so" "$demo/"
# The host product's settings name its ODBC data source; the data source and
# its driver are defined inside the demo folder, not system-wide.
printf '[Database]\r\nDBName=QuarnelDemo\r\n' > "$demo/PersonalTarvo.ini"
scripts/db/sqlite-demo.sh "$demo" "$build"
export ODBCSYSINI=$repo/$demo ODBCINI=$repo/$demo/odbc.ini
# The host product stores its list with CR LF line ends in code page 1250.
sed 's/$/\r/' scripts/demo/sifrant_bank.dat.in > "$demo/sifrant_bank.dat"

show() {  # the list as a person reads it: one row a line, in UTF-8
  iconv -f CP1250 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'
}

rows() { sqlite3 "$demo/tarvo.db" 'select ft_uid from tvfiletable order by ft_uid' | sed 's/^/    /'; }

echo "Demo installation: $demo"
echo
echo "Rows of the file table tvfiletable before the run:"
rows
echo
echo "Bank code list before the run ($(wc -l < "$demo/sifrant_bank.dat") lines):"
show "$demo/sifrant_bank.dat"
echo
echo "Running: quarnel (answering Yes)"
echo y | "$demo/quarnel"
echo
echo "Rows of the file table tvfiletable after the run:"
rows
echo
echo "Bank code list after the run ($(wc -l < "$demo/sifrant_bank.dat") lines):"
show "$demo/sifrant_bank.dat"
echo
echo "Backup of the old list: $demo/sifrant_bank.old"
