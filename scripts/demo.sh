#!/usr/bin/env bash
# Builds Quarnel, lays out a demo installation of the host product and runs
# the program in it: the bank code list before and after, in the older
# 16-column form with banks that were renamed and banks that closed.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
scripts/install-deps.sh

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

demo=build/demo-install
rm -rf "$demo"
mkdir -p "$demo/Sifranti"
cp "$build/quarnel" "$demo/"
# The host product stores its list with CR LF line ends in code page 1250.
sed 's/$/\r/' scripts/demo/sifrant_bank.dat.in > "$demo/sifrant_bank.dat"

show() {  # the list as a person reads it: one row a line, in UTF-8
  iconv -f CP1250 -t UTF-8 "$1" | tr -d '\r' | sed 's/^/    /'
}

echo "Demo installation: $demo"
echo
echo "Bank code list before the run ($(wc -l < "$demo/sifrant_bank.dat") lines):"
show "$demo/sifrant_bank.dat"
echo
echo "Running: quarnel -s"
"$demo/quarnel" -s
echo
echo "Bank code list after the run ($(wc -l < "$demo/sifrant_bank.dat") lines):"
show "$demo/sifrant_bank.dat"
echo
echo "Backup of the old list: $demo/sifrant_bank.old"
