#!/usr/bin/env bash
# Creates the embedded host database for the demo and the tests.
#
#   sqlite-demo.sh FOLDER BUILD_DIR
#
# Writes FOLDER/tarvo.db, a SQLite database holding the file table with the
# stored bank code list and its neighbours (made anew on every call), and
# adds the data source "QuarnelDemo" to FOLDER/odbc.ini, with the SQLite3 ODBC
# driver in FOLDER/odbcinst.ini. The data source loads the extension built in
# BUILD_DIR/sqlite_tarvo_schema, which names the database "tarvo" as well.
# Reach it with ODBCSYSINI=FOLDER and ODBCINI=FOLDER/odbc.ini.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

[ $# -eq 2 ] || db_die "usage: $0 FOLDER BUILD_DIR"
folder=$(cd "$1" && pwd)
extension=$(cd "$2" && pwd)/sqlite_tarvo_schema/tarvo_schema.so
[ -f "$extension" ] || db_die "$extension: not built"
command -v sqlite3 >/dev/null || db_die "sqlite3 not found (run scripts/install-deps.sh demo)"

db=$folder/tarvo.db
rm -f "$db"
{ echo "ATTACH DATABASE '$db' AS tarvo;"; cat "$here/tvfiletable.sql"; } |
  sqlite3 -bail "$db"

db_odbc_add_driver "$folder" QuarnelSQLite3 libsqlite3odbc.so
db_ini_section "$folder/odbc.ini" QuarnelDemo Driver=QuarnelSQLite3 \
  "Database=$db" "LoadExt=$extension"
