#!/usr/bin/env bash
# Runs the Windows quarnel.exe under Wine on a virtual X display and answers
# its message boxes from the keyboard, as a user does: Return takes the
# default button (Yes), "n" takes No. Checks what each run then did, and
# keeps a picture of the question box.
#
#   scripts/windows-ui-test.sh [BUILD_DIR [SCREENSHOT]]
#     BUILD_DIR   the Windows build (default build/windows-tests)
#     SCREENSHOT  the picture of the question box
#                 (default BUILD_DIR/question-box.png; docs/windows.md
#                 shows docs/question-box.png)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
build=${1:-build/windows-tests}
screenshot=${2:-$build/question-box.png}
. scripts/wine-session.sh

fail() { echo "windows-ui-test: $*" >&2; exit 1; }
[ -f "$build/quarnel.exe" ] || fail "$build/quarnel.exe not built (scripts/test-windows.sh)"

display=90
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
cleanup() {
  wine_session_end
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=:$display
for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

wine_session_start
# No window manager runs here: Wine draws the boxes' title bars itself.
"$QUARNEL_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f \
  </dev/null >/dev/null 2>&1

install=$WINEPREFIX/drive_c/Tarvo
mkdir -p "$install"
cp "$build/quarnel.exe" "$build/PELX.dll" "$install/"
list=$'HEADER\r\nZZZZ|row\r\n'

# Waits for the next box titled "Quarnel", gives it the keyboard and presses
# KEY; a second argument saves a picture of the box first.
answer() {
  local key=$1 picture=${2:-} box
  box=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quarnel$' | head -n 1) ||
    fail "no box titled Quarnel appeared"
  xdotool windowfocus --sync "$box"
  if [ -n "$picture" ]; then
    sleep 0.5  # let the box finish drawing
    import -window "$box" "$picture"
  fi
  xdotool key "$key"
  # This box must be gone before the next one is looked for.
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Quarnel$' 2>/dev/null | grep -qx "$box" || return 0
    sleep 0.1
  done
  fail "the box stayed after $key"
}

# Starts a run on a fresh list; the program's exit code goes to $run_status.
start_run() {
  rm -f "$install"/sifrant_bank.*
  printf '%s' "$list" >"$install/sifrant_bank.dat"
  "$QUARNEL_WINE" 'C:\Tarvo\quarnel.exe' </dev/null >/dev/null 2>&1 &
  run=$!
}
# Waits up to SECONDS (default 60) for the run to end, failing with MESSAGE.
finish_run() {
  local seconds=${1:-60} message=${2:-"the run did not end after its last box"}
  for _ in $(seq $((seconds * 10))); do
    kill -0 "$run" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$run" 2>/dev/null && fail "$message"
  run_status=0
  wait "$run" || run_status=$?
}

echo "== Question box: n answers No"
start_run
answer n "$screenshot"
finish_run
[ "$run_status" -eq 0 ] || fail "after No the run ended with $run_status"
cmp -s <(printf '%s' "$list") "$install/sifrant_bank.old" || fail "after No no backup was taken"
grep -q '^BANKID(C)|' "$install/sifrant_bank.dat" || fail "after No the list was not updated"

echo "== Question box: Return answers Yes"
# Yes goes to the database first; without the host's settings file the run
# ends there with the error report, and the list is left as it was.
start_run
answer Return
answer Return
finish_run
[ "$run_status" -ne 0 ] || fail "after Yes without settings the run did not fail"
[ ! -e "$install/sifrant_bank.old" ] || fail "after Yes the list was touched before the database"
cmp -s <(printf '%s' "$list") "$install/sifrant_bank.dat" || fail "after Yes the list changed"

echo "== Error report of a silent run closes by itself"
# Under the start-up runner's name nobody may be there to click: the report
# must not hold the start-up up. Without the host's settings the run fails.
rm -f "$install"/sifrant_bank.*
cp "$install/quarnel.exe" "$install/KELDRAMIX.exe"
"$QUARNEL_WINE" 'C:\Tarvo\KELDRAMIX.exe' </dev/null >/dev/null 2>&1 &
run=$!
timeout 60 xdotool search --sync --onlyvisible --name '^Quarnel$' >/dev/null ||
  fail "the silent run showed no error report"
shown=$SECONDS
finish_run 120 "the silent run's error report did not close by itself"
[ "$run_status" -ne 0 ] || fail "the failed silent run ended with 0"
[ $((SECONDS - shown)) -ge 50 ] || fail "the error report closed after $((SECONDS - shown)) s, too soon to read"

echo "windows-ui-test: passed; the question box is in $screenshot"
