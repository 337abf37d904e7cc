#!/usr/bin/env bash
# Installs what building, the demo and the tests need on a fresh Debian 12
# machine. Idempotent: packages already present are left alone.
set -euo pipefail

need=()
want() { for p in "$@"; do dpkg -s "$p" >/dev/null 2>&1 || need+=("$p"); done; }

# Build and unit tests.
want cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev
# Databases of the demo and the tests: ODBC driver manager and drivers,
# throw-away PostgreSQL and MariaDB servers, SQLite.
want unixodbc unixodbc-dev odbc-postgresql odbc-mariadb libsqliteodbc
want postgresql mariadb-server mariadb-client
want libsqlite3-dev sqlite3
# Crash test: kills the program at each system call under strace.
want strace
# Fuzzing: clang with libFuzzer and the sanitizer runtimes.
want clang libclang-rt-14-dev
# Update benchmark: peak memory from GNU time.
want time
# Windows program: mingw-w64 cross compilers, GoogleTest's sources for them,
# Wine with a Central European locale, and Xvfb, xdotool and ImageMagick for
# the message-box test.
want g++-mingw-w64-x86-64-posix googletest wine wine64 locales
want xvfb xdotool imagemagick

if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q \
    -o DPkg::Lock::Timeout=600 --no-install-recommends "${need[@]}"
fi
