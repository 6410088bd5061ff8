#!/usr/bin/env bash
# The launcher executable as a player starts it, under the display that
# tests/fixtures/with-xvfb provides (1024x768).
#   launcher_process.sh ORVANEL_LAUNCHER
set -uo pipefail
launcher=$1
source "$(dirname "$0")/../fixtures/launcher.sh"

# 1. An empty folder: the configuration message, no window, exit 0.
mkdir "$work/empty"
out=$(run_headless "$work/empty"); rc=$?
[ "$out" = "ERROR!: Configuration file contents cannot be found!" ] && [ $rc -eq 0 ] \
  && pass "empty folder refused" || fail "empty folder: rc=$rc out=$out"
[ ! -e "$work/empty/Debug.txt" ] && pass "empty folder leaves no log" || fail "empty folder wrote a log"

# 2. A malformed System.ini: the same message and the error line in the log.
mkdir "$work/bad" && printf 'Version = 1.2.x.4' >"$work/bad/System.ini"
out=$(run_headless "$work/bad"); rc=$?
[ "$out" = "ERROR!: Configuration file contents cannot be found!" ] && [ $rc -eq 0 ] \
  && pass "malformed System.ini refused" || fail "malformed: rc=$rc out=$out"
if grep -aqE '^\([0-9]{4}:[ 0-9]{2}:[ 0-9]{2}_[ 0-9]{2}:[ 0-9]{2}:[ 0-9]{2}\) - \(!\) System\.ini configuration file error\(1\)\(3\)!'$'\r''$' "$work/bad/Debug.txt"; then
  pass "error line with its time prefix"
else
  fail "log: $(cat -A "$work/bad/Debug.txt")"
fi

# 3. A valid installation: the window, a refused second launcher, a close.
mkdir "$work/game" && printf 'Version = 1.0.0.7' >"$work/game/System.ini"
gui "$work/game" & first=$!; pids+=("$first")
if id=$(window_of "$first"); then
  geometry=$(xdotool getwindowgeometry "$id")
  echo "$geometry" | grep -q 'Position: 112,84' && echo "$geometry" | grep -q 'Geometry: 800x600' \
    && pass "window 800x600 at (112, 84)" || fail "geometry: $geometry"
else
  fail "no window appeared"
fi
out=$(run_headless "$work/game"); rc=$?
[ "$out" = "ERROR!: Only one game launcher process allowed!" ] && [ $rc -eq 0 ] \
  && pass "second launcher refused" || fail "second launcher: rc=$rc out=$out"
kill -0 "$first" 2>/dev/null && pass "first launcher runs on" || fail "first launcher ended"

# Alt+F4 closes it: exit 0 and the shutdown line.
xdotool key --window "$id" alt+F4 2>/dev/null
# xdotool may die of the window vanishing between press and release; a key
# left down would repeat into the next launcher's window and close it too.
xdotool keyup F4 Alt_L 2>/dev/null
for _ in $(seq 1 200); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$first" 2>/dev/null; then
  fail "Alt+F4 did not close the launcher"
else
  wait "$first"; rc=$?
  [ $rc -eq 0 ] && pass "closed with exit code 0" || fail "exit code $rc after close"
fi
grep -aq '(TESTCODE) Deleting Main Dump\.'$'\r''$' "$work/game/Debug.txt" \
  && pass "shutdown logged" || fail "no shutdown line"

# 4. After a kill -9 the name is free again: a new launcher starts.
gui "$work/game" & second=$!; pids+=("$second")
window_of "$second" >/dev/null || fail "relaunch showed no window"
kill -9 "$second"; wait "$second" 2>/dev/null
gui "$work/game" & third=$!; pids+=("$third")
if window_of "$third" >/dev/null && kill -0 "$third" 2>/dev/null; then
  pass "starts again after kill -9"
else
  fail "did not start after kill -9: $(tail -n 3 "$work/game/Debug.txt" | cut -c25- | tr "\r\n" "  ")"
fi
kill -TERM "$third"
for _ in $(seq 1 100); do kill -0 "$third" 2>/dev/null || break; sleep 0.1; done
wait "$third"; rc=$?
[ $rc -eq 0 ] && pass "SIGTERM closes like the window manager" || fail "SIGTERM: exit $rc"

finish
