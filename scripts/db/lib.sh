# Helpers shared by the database scripts; sourced, not run.
#
# Servers started here are throw-away: they live in a folder of their own,
# listen on a Unix socket in that folder only (never on a network address) and
# are reached through an odbc.ini / odbcinst.ini in the same folder, named by
# the ODBCSYSINI and ODBCINI environment variables.

db_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Runs a command as the unprivileged user that owns a server's files. Database
# servers refuse to run as root, so root hands them to their own system user;
# anyone else runs them as themselves.
# Usage: db_as USER command...   (USER is used only when running as root)
db_as() {
  local user=$1; shift
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$user" -- "$@"
  else
    "$@"
  fi
}

# The user name that db_as runs a server under.
db_server_user() {
  if [ "$(id -u)" -eq 0 ]; then echo "$1"; else id -un; fi
}

# Creates folder $2 owned by the server user $1, and checks that the server
# user can reach it (a private parent folder would stop it).
db_make_server_dir() {
  local user=$1 dir=$2
  mkdir -p "$dir"
  if [ "$(id -u)" -eq 0 ]; then
    chown "$user:" "$dir"
    runuser -u "$user" -- test -w "$dir" ||
      db_die "$dir: not reachable by user $user (a parent folder is private)"
  fi
  chmod 700 "$dir"
}

# Prints the full path of an ODBC driver library by its file name, built for
# the architecture QUARNEL_ODBC_ARCH names (a multiarch name such as
# i386-linux-gnu; the system's own by default): the 32-bit Windows program
# under Wine reaches ODBC through the i386 driver manager, which loads i386
# drivers only.
db_odbc_driver() {
  local name=$1 dir dirs arch=${QUARNEL_ODBC_ARCH:-}
  if [ -n "$arch" ]; then
    dirs=("/usr/lib/$arch/odbc" "/usr/local/lib/$arch/odbc")
  else
    arch=$(gcc -print-multiarch 2>/dev/null || true)
    dirs=("/usr/lib/$arch/odbc" /usr/lib/odbc /usr/lib64 /usr/local/lib/odbc /usr/local/lib)
  fi
  for dir in "${dirs[@]}"; do
    if [ -f "$dir/$name" ]; then echo "$dir/$name"; return 0; fi
  done
  db_die "ODBC driver $name not found (run scripts/install-deps.sh test)"
}

# Adds a section to an ini file unless one of that name is already there.
# Usage: db_ini_section FILE NAME KEY=VALUE...
db_ini_section() {
  local file=$1 name=$2; shift 2
  touch "$file"
  grep -qxF "[$name]" "$file" && return 0
  { echo "[$name]"; printf '%s\n' "$@"; echo; } >>"$file"
}

# Registers driver NAME (library file LIB) in the folder's odbcinst.ini.
db_odbc_add_driver() {
  local folder=$1 name=$2 lib=$3
  db_ini_section "$folder/odbcinst.ini" "$name" "Driver=$(db_odbc_driver "$lib")"
}

# Unix sockets have a short path limit; fail clearly instead of obscurely.
db_check_socket_path() {
  [ ${#1} -le 100 ] || db_die "socket path too long (${#1} > 100): $1"
}

# Prints a loopback TCP port that nothing listens on at the moment.
db_free_port() {
  local port _
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  db_die "no free loopback port found"
}

# Waits until a command succeeds, for at most SECONDS seconds; fails after.
# Usage: db_wait SECONDS command...
db_wait() {
  local tries=$(( $1 * 5 )); shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || return 1
    sleep 0.2
  done
}

# The host product's own database credentials (its built-in defaults), and a
# second login whose password holds every character that needs quoting in an
# ODBC connection string, blanks at both ends included.
DB_USER=tarvo
DB_PASSWORD=qtwm52hzkrpad
DB_ODD_USER=tarvo_odd
DB_ODD_PASSWORD=' x;PWD=y}z{ '
