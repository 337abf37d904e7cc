#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL server in FOLDER/postgres.
#
#   postgres.sh start FOLDER   initialises and starts the server, creates the
#                              database and schema "tarvo" with the file table
#                              and its logins, and adds the data source
#                              "QuarnelPg" to FOLDER/odbc.ini (driver in
#                              FOLDER/odbcinst.ini)
#   postgres.sh stop FOLDER    stops it; the files stay for the caller to remove
#
# The server listens on a Unix socket in FOLDER/postgres only.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

[ $# -eq 2 ] || db_die "usage: $0 start|stop FOLDER"
action=$1
folder=$(cd "$2" && pwd)
srv=$folder/postgres
port=5432
user=$(db_server_user postgres)

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -n "$bindir" ] || bindir=$(dirname "$(command -v pg_ctl || echo /missing/pg_ctl)")
[ -x "$bindir/pg_ctl" ] || db_die "PostgreSQL server not found (run scripts/install-deps.sh test)"

admin_sql() {  # database, then SQL on standard input
  db_as "$user" "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$srv" -p "$port" \
    -U "$user" -d "$1" >/dev/null
}

start() {
  db_check_socket_path "$srv/.s.PGSQL.$port"
  db_make_server_dir "$user" "$srv"
  db_as "$user" "$bindir/initdb" -D "$srv/data" -U "$user" -A peer \
    --no-sync >"$srv/initdb.log" 2>&1 || { cat "$srv/initdb.log" >&2; exit 1; }
  # The server's own user logs in as itself; everyone else by password.
  printf 'local all %s peer\nlocal all all scram-sha-256\n' "$user" \
    >"$srv/data/pg_hba.conf"
  db_as "$user" "$bindir/pg_ctl" -D "$srv/data" -l "$srv/server.log" -w -t 60 \
    -o "-c listen_addresses='' -c unix_socket_directories='$srv' -p $port" \
    -o "-c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null || { tail -n 20 "$srv/server.log" >&2; exit 1; }

  admin_sql postgres <<SQL
CREATE ROLE $DB_USER LOGIN PASSWORD '$DB_PASSWORD';
CREATE ROLE $DB_ODD_USER LOGIN PASSWORD '$DB_ODD_PASSWORD' IN ROLE $DB_USER;
CREATE DATABASE tarvo OWNER $DB_USER;
SQL
  { echo "SET ROLE $DB_USER; CREATE SCHEMA tarvo;"; cat "$here/tvfiletable.sql"; } |
    admin_sql tarvo

  db_odbc_add_driver "$folder" QuarnelPostgreSQL psqlodbca.so
  db_ini_section "$folder/odbc.ini" QuarnelPg Driver=QuarnelPostgreSQL \
    "Servername=$srv" "Port=$port" Database=tarvo
}

stop() {
  [ -f "$srv/data/postmaster.pid" ] || return 0
  db_as "$user" "$bindir/pg_ctl" -D "$srv/data" -m fast -w -t 60 stop >/dev/null
}

case $action in
  start) start ;;
  stop) stop ;;
  *) db_die "usage: $0 start|stop FOLDER" ;;
esac
