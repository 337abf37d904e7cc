#!/usr/bin/env bash
# Starts or stops a throw-away MariaDB server in FOLDER/mariadb.
#
#   mariadb.sh start FOLDER   initialises and starts the server, creates the
#                             database "tarvo" with the file table and its
#                             login, and adds the data source "QuarnelMaria"
#                             to FOLDER/odbc.ini (driver in FOLDER/odbcinst.ini)
#   mariadb.sh stop FOLDER    stops it; the files stay for the caller to remove
#
# The server listens on a Unix socket in FOLDER/mariadb only (no networking).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"

[ $# -eq 2 ] || db_die "usage: $0 start|stop FOLDER"
action=$1
folder=$(cd "$2" && pwd)
srv=$folder/mariadb
sock=$srv/mysqld.sock
user=$(db_server_user mysql)

for tool in mariadbd mariadb-install-db mariadb mariadb-admin; do
  PATH=$PATH:/usr/sbin command -v $tool >/dev/null ||
    db_die "$tool not found (run scripts/install-deps.sh test)"
done
server=$(PATH=$PATH:/usr/sbin command -v mariadbd)

# The server's own user logs in through the socket without a password.
# Usage: admin TOOL ARGUMENTS...
admin() {
  local tool=$1; shift
  db_as "$user" "$tool" --no-defaults --socket="$sock" -u "$user" "$@"
}

# Small InnoDB files: a throw-away server needs no more, and starts faster.
small=(--innodb-log-file-size=4M --innodb-buffer-pool-size=16M)

start() {
  db_check_socket_path "$sock"
  db_make_server_dir "$user" "$srv"
  db_as "$user" mariadb-install-db --no-defaults --datadir="$srv/data" \
    --user="$user" --auth-root-authentication-method=socket --skip-test-db \
    "${small[@]}" >"$srv/install.log" 2>&1 || { cat "$srv/install.log" >&2; exit 1; }
  db_as "$user" setsid "$server" --no-defaults --datadir="$srv/data" \
    --socket="$sock" --skip-networking --pid-file="$srv/mariadbd.pid" \
    --log-error="$srv/error.log" --innodb-flush-log-at-trx-commit=0 \
    --innodb-temp-data-file-path=ibtmp1:1M:autoextend "${small[@]}" \
    </dev/null >/dev/null 2>&1 &
  if ! db_wait 60 admin mariadb-admin ping; then
    tail -n 20 "$srv/error.log" >&2
    db_die "MariaDB did not start"
  fi

  { cat <<SQL
CREATE DATABASE tarvo;
CREATE USER '$DB_USER'@'localhost' IDENTIFIED BY '$DB_PASSWORD';
GRANT ALL ON tarvo.* TO '$DB_USER'@'localhost';
SQL
    cat "$here/tvfiletable.sql"; } | admin mariadb

  db_odbc_add_driver "$folder" QuarnelMariaDB libmaodbc.so
  db_ini_section "$folder/odbc.ini" QuarnelMaria Driver=QuarnelMariaDB \
    Server=localhost "Socket=$sock" Database=tarvo
}

stop() {
  [ -f "$srv/mariadbd.pid" ] || return 0
  local pid
  pid=$(cat "$srv/mariadbd.pid")
  kill "$pid" 2>/dev/null || return 0
  # Bounded wait for a clean shutdown; a server that hangs is killed.
  db_wait 60 sh -c "! kill -0 $pid" || kill -9 "$pid" 2>/dev/null || true
}

case $action in
  start) start ;;
  stop) stop ;;
  *) db_die "usage: $0 start|stop FOLDER" ;;
esac
