#!/usr/bin/env bash
# Runs a command with throw-away PostgreSQL and MariaDB servers.
#
#   with-databases.sh COMMAND [ARGUMENTS...]
#
# Starts both servers in a fresh temporary folder (see postgres.sh and
# mariadb.sh), runs COMMAND with these variables exported, then stops the
# servers and removes the folder, also when COMMAND or a start fails or the
# script is interrupted. Exits with COMMAND's status.
#
#   ODBCSYSINI, ODBCINI            the folder's odbcinst.ini and odbc.ini
#   QUARNEL_TEST_PG_DSN            data source of the PostgreSQL database
#   QUARNEL_TEST_PG_ODD_USER       a PostgreSQL login whose password holds
#   QUARNEL_TEST_PG_ODD_PASSWORD   ";", "{", "}" and blanks at both ends
#   QUARNEL_TEST_MARIADB_DSN       data source of the MariaDB database
#   QUARNEL_TEST_SILENT_DSN        a PostgreSQL data source whose server is
#   QUARNEL_TEST_SILENT_PORT       127.0.0.1 at this free port, where only a
#                                  test of its own listens (and never answers)
#   QUARNEL_TEST_HANG_DSN          the same at another port, for the test whose
#   QUARNEL_TEST_HANG_PORT         run is given up while a call still waits
#   QUARNEL_TEST_CHECK_SILENT_DSN  the same at a third port, for the support
#   QUARNEL_TEST_CHECK_SILENT_PORT check's test
#   QUARNEL_TEST_SQLITE_ODBC_DRIVER  the SQLite3 ODBC driver library
#
# QUARNEL_ODBC_ARCH=i386-linux-gnu registers the i386 drivers instead of the
# system's own (see lib.sh), for 32-bit programs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

[ $# -ge 1 ] || db_die "usage: $0 COMMAND [ARGUMENTS...]"

folder=$(mktemp -d "${TMPDIR:-/tmp}/quarnel-db.XXXXXX")
# The servers run under their own users, which must reach their folders.
chmod 755 "$folder"
stop_all() {
  "$here/mariadb.sh" stop "$folder" || true
  "$here/postgres.sh" stop "$folder" || true
  rm -rf "$folder"
}
trap stop_all EXIT
trap 'exit 130' INT TERM

"$here/postgres.sh" start "$folder"
"$here/mariadb.sh" start "$folder"

silent_port=$(db_free_port)
db_ini_section "$folder/odbc.ini" QuarnelSilent Driver=QuarnelPostgreSQL \
  Servername=127.0.0.1 "Port=$silent_port" Database=tarvo
hang_port=$(db_free_port)
while [ "$hang_port" = "$silent_port" ]; do hang_port=$(db_free_port); done
db_ini_section "$folder/odbc.ini" QuarnelHang Driver=QuarnelPostgreSQL \
  Servername=127.0.0.1 "Port=$hang_port" Database=tarvo
check_port=$(db_free_port)
while [ "$check_port" = "$silent_port" ] || [ "$check_port" = "$hang_port" ]; do
  check_port=$(db_free_port)
done
db_ini_section "$folder/odbc.ini" QuarnelCheckSilent Driver=QuarnelPostgreSQL \
  Servername=127.0.0.1 "Port=$check_port" Database=tarvo

export ODBCSYSINI=$folder ODBCINI=$folder/odbc.ini
export QUARNEL_TEST_SILENT_DSN=QuarnelSilent QUARNEL_TEST_SILENT_PORT=$silent_port
export QUARNEL_TEST_HANG_DSN=QuarnelHang QUARNEL_TEST_HANG_PORT=$hang_port
export QUARNEL_TEST_CHECK_SILENT_DSN=QuarnelCheckSilent QUARNEL_TEST_CHECK_SILENT_PORT=$check_port
export QUARNEL_TEST_PG_DSN=QuarnelPg
export QUARNEL_TEST_PG_ODD_USER=$DB_ODD_USER
export QUARNEL_TEST_PG_ODD_PASSWORD=$DB_ODD_PASSWORD
export QUARNEL_TEST_MARIADB_DSN=QuarnelMaria
QUARNEL_TEST_SQLITE_ODBC_DRIVER=$(db_odbc_driver libsqlite3odbc.so)
export QUARNEL_TEST_SQLITE_ODBC_DRIVER

set +e
"$@"
status=$?
set -e
exit $status
