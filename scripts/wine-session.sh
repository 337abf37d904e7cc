# Sourced by the Windows test scripts, not run: a throw-away Wine prefix with
# its own wineserver.
#
#   wine_session_start   creates the prefix in WINEPREFIX and starts Wine
#   wine_session_end     stops its wineserver and removes the prefix
#
# Windows programs are started as "$QUARNEL_WINE" PROGRAM: the loader for the
# build whose suite this machine runs (see windows-suite.sh).
#
# Wine then takes ANSI code page 1250 (Central European) from LANG, and keeps
# its debug chatter off the programs' output.

. "$(dirname "${BASH_SOURCE[0]}")/windows-suite.sh"
windows_suite
QUARNEL_WINE=$(wine_loader)
export QUARNEL_WINE
# Programs that Wine starts itself take the same loader.
[ "$QUARNEL_WINDOWS_SUITE" = i686 ] || export WINELOADER=$QUARNEL_WINE

wine_session_start() {
  # Wine reads its code pages from the system's locale, which must exist.
  if ! locale -a 2>/dev/null | grep -qix 'cs_CZ\.utf-\?8'; then
    localedef -i cs_CZ -f UTF-8 cs_CZ.UTF-8
  fi
  export LANG=cs_CZ.UTF-8
  unset LC_ALL LC_CTYPE LC_MESSAGES LANGUAGE
  export WINEDEBUG=-all
  # Neither the .NET runtime nor the HTML engine is needed: never offer them.
  export WINEDLLOVERRIDES="mscoree,mshtml="
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quarnel-wine.XXXXXX")
  export WINEPREFIX
  # Started here, detached from every pipe: a wineserver that the first
  # Windows program starts inherits that program's output, and whoever reads
  # it (CTest) waits for the server to end.
  wineserver --persistent </dev/null >/dev/null 2>&1
  "$QUARNEL_WINE" wineboot --init </dev/null >/dev/null 2>&1
}

wine_session_end() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver --kill >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
  fi
}
