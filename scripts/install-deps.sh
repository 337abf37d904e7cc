#!/usr/bin/env bash
# Installs what the demo or the tests need on a fresh Debian 12 machine.
# Idempotent: packages already present are left alone.
#
#   install-deps.sh demo   the compiler, CMake, unixODBC, the SQLite ODBC
#                          driver and sqlite3: what scripts/demo.sh uses
#   install-deps.sh test   all of the demo's, and what the test command adds:
#                          GoogleTest, the database servers, the crash test's
#                          and the fuzzers' tools, and the Windows cross build
#                          with Wine: 32-bit Wine and the i386 ODBC stack only
#                          where the machine runs 32-bit programs
set -euo pipefail
. "$(dirname "$0")/windows-suite.sh"
set_name=${1:-}
case $set_name in
  demo | test) ;;
  *) echo "usage: $0 demo|test" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi

need=()
native=$(dpkg --print-architecture)
# A package installed for two architectures is known to dpkg only by its
# qualified name.
installed() { dpkg -s "$1" >/dev/null 2>&1 || dpkg -s "$1:$native" >/dev/null 2>&1; }
want() { for p in "$@"; do installed "$p" || need+=("$p"); done; }
install_needed() {
  [ ${#need[@]} -gt 0 ] || return 0
  $SUDO apt-get update -qq -o DPkg::Lock::Timeout=600
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q \
    -o DPkg::Lock::Timeout=600 --no-install-recommends "${need[@]}"
  need=()
}

# The demo: build the program and run it on the embedded SQLite database.
want cmake g++ make unixodbc unixodbc-dev libsqliteodbc libsqlite3-dev sqlite3

if [ "$set_name" = test ]; then
  # Unit tests and benchmarks.
  want libgtest-dev libgmock-dev libbenchmark-dev
  # Throw-away PostgreSQL and MariaDB servers and their ODBC drivers.
  want odbc-postgresql odbc-mariadb postgresql mariadb-server mariadb-client
  # Crash test: kills the program at each system call under strace.
  want strace
  # Fuzzing: clang with libFuzzer and the sanitizer runtimes.
  want clang libclang-rt-14-dev
  # Update benchmark: peak memory from GNU time.
  want time
  # Windows program: the 32-bit mingw-w64 cross compilers (the 64-bit ones
  # for a build check), GoogleTest's sources for them, Wine with a Central
  # European locale, and Xvfb, xdotool and ImageMagick for the message-box
  # test.
  want g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix googletest
  want wine wine64 locales xvfb xdotool imagemagick
  # Signing the Windows files in the release check.
  want osslsigncode
  windows_suite
  if [ "$QUARNEL_WINDOWS_SUITE" = i686 ]; then
    # The 32-bit program runs in 32-bit Wine, whose odbc32 hands ODBC to the
    # i386 unixODBC, which loads i386 drivers.
    # Added here, the architecture's package lists come with the update
    # below, which its packages' absence brings about.
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
    want wine32:i386 libodbc2:i386 libodbcinst2:i386 odbc-postgresql:i386
    want libmariadb3:i386 libsqliteodbc:i386
  fi
fi
install_needed

if [ "$set_name" = test ] && [ "$QUARNEL_WINDOWS_SUITE" = i686 ]; then
  # Debian's odbc-mariadb cannot be installed for two architectures at once;
  # its i386 driver library alone goes where scripts/db/lib.sh looks for it.
  maodbc=/usr/local/lib/i386-linux-gnu/odbc/libmaodbc.so
  if [ ! -f "$maodbc" ]; then
    scratch=$(mktemp -d)
    [ "$(id -u)" -ne 0 ] || chown _apt "$scratch"  # apt downloads as its own user
    (cd "$scratch" && apt-get download -q odbc-mariadb:i386 >/dev/null)
    dpkg-deb --fsys-tarfile "$scratch"/odbc-mariadb_*_i386.deb |
      tar -x -C "$scratch" ./usr/lib/i386-linux-gnu/odbc/libmaodbc.so
    $SUDO install -D -m 644 "$scratch/usr/lib/i386-linux-gnu/odbc/libmaodbc.so" "$maodbc"
    rm -rf "$scratch"
  fi
fi
