# Sourced by the set-up and the Windows test scripts, not run: which Windows
# build's suite this machine can run, and the Wine loader that runs it.
#
#   windows_suite   sets and exports, once per test command:
#     QUARNEL_WINDOWS_SUITE      i686 where the machine runs 32-bit x86
#                                programs (the shipped build is tested), or
#                                x86_64 where its kernel refuses them (the
#                                64-bit build is tested instead)
#     QUARNEL_WINDOWS_SUITE_WHY  one line that says which and why
#   wine_loader     prints the Wine loader for that build: Debian's `wine`
#                   for 32-bit programs; for 64-bit ones Wine's own 64-bit
#                   loader, since the `wine` wrapper starts the 32-bit loader
#                   whenever wine32 is installed
#
# Setting QUARNEL_WINDOWS_SUITE=x86_64 beforehand runs the 64-bit suite on a
# machine that could run either, to try the fallback.

# Starts a 96-byte static i386 program that only exits with status 42: the
# kernel either runs it, or refuses it with "Exec format error".
runs_32bit_programs() {
  local probe status=0
  probe=$(mktemp "${TMPDIR:-/tmp}/quarnel-i386.XXXXXX")
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\010\064\0\0\0%b%b%b' \
    '\0\0\0\0\0\0\0\0\064\0\040\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\010' \
    '\0\200\4\010\140\0\0\0\140\0\0\0\5\0\0\0\0\020\0\0' \
    '\270\1\0\0\0\273\052\0\0\0\315\200' > "$probe"
  chmod 700 "$probe"
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

windows_suite() {
  if [ -n "${QUARNEL_WINDOWS_SUITE:-}" ]; then
    case $QUARNEL_WINDOWS_SUITE in
      i686 | x86_64) ;;
      *) echo "QUARNEL_WINDOWS_SUITE must be i686 or x86_64" >&2; return 2 ;;
    esac
    : "${QUARNEL_WINDOWS_SUITE_WHY:=QUARNEL_WINDOWS_SUITE=$QUARNEL_WINDOWS_SUITE asks for it: the Windows suite runs on the $QUARNEL_WINDOWS_SUITE build}"
  elif runs_32bit_programs; then
    QUARNEL_WINDOWS_SUITE=i686
    QUARNEL_WINDOWS_SUITE_WHY="this machine runs 32-bit programs: the Windows suite runs on the shipped 32-bit build under 32-bit Wine"
  else
    QUARNEL_WINDOWS_SUITE=x86_64
    QUARNEL_WINDOWS_SUITE_WHY="this machine runs no 32-bit program: the Windows suite runs on the 64-bit build under 64-bit Wine"
  fi
  export QUARNEL_WINDOWS_SUITE QUARNEL_WINDOWS_SUITE_WHY
}

wine_loader() {
  if [ "$QUARNEL_WINDOWS_SUITE" = i686 ]; then
    echo wine
  else
    # Where Debian's wine64 package puts the loader.
    dpkg -L wine64 2>/dev/null | grep -m 1 '/wine64$' ||
      { echo "wine64 is not installed (scripts/install-deps.sh test)" >&2; return 1; }
  fi
}
