#!/usr/bin/env bash
# The launcher executable as a player starts it, under the display that
# tests/fixtures/with-xvfb provides (1024x768).
#   launcher_process.sh ORVANEL_LAUNCHER ORVANEL_LAUNCHER_E2E STAND_IN_CLIENT
# The e2e twin fetches its updates from 127.0.0.1:18089, where section 5
# serves an installation that is already up to date.
set -uo pipefail
launcher=$1 e2e=$2 client=$3
source "$(dirname "$0")/../fixtures/nginx.sh"
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime   # a private namespace of named mutexes
mkdir -p "$XDG_RUNTIME_DIR"
pids=()
trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done; nginx_stop; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Runs the launcher without a display, so that a message box is only its
# stderr line; prints that stderr.
run_headless() { (cd "$1" && env -u DISPLAY "$launcher" 2>&1 >/dev/null); }

# The launchers run niced: their frame loop takes all the CPU it gets, and
# the X server and xdotool must not starve beside them on a small machine.
gui() { cd "$1" && exec nice -n 19 "$launcher"; }  # run it as a background job

# Waits up to 10 s for the launcher's window; prints its id.
window_of() {
  for _ in $(seq 1 100); do
    id=$(xdotool search --name '^Orvanel Launcher$' 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

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
if id=$(window_of); then
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
for _ in $(seq 1 100); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
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
window_of >/dev/null || fail "relaunch showed no window"
kill -9 "$second"; wait "$second" 2>/dev/null
gui "$work/game" 2>"$work/third.err" & third=$!; pids+=("$third")
if window_of >/dev/null && kill -0 "$third" 2>/dev/null; then
  pass "starts again after kill -9"
else
  fail "did not start after kill -9: $(cat "$work/third.err")"
fi
kill -TERM "$third"
for _ in $(seq 1 100); do kill -0 "$third" 2>/dev/null || break; sleep 0.1; done
wait "$third"; rc=$?
[ $rc -eq 0 ] && pass "SIGTERM closes like the window manager" || fail "SIGTERM: exit $rc"

# 5. Play: a press and release over the button once up to date hides the
# window and starts the client with "Orvanel Launcher"; a second launcher is
# refused while the client runs; when it exits the launcher ends with 0.
mkdir -p "$work/server/updates" "$work/play"
printf 'patch = 1, 0, 0, 7\n' >"$work/server/updates/patch.ini"
nginx_start "$work/server" 18089 || fail "nginx did not start"
printf 'Version = 1.0.0.7' >"$work/play/System.ini"
cp "$client" "$work/play/Orvanel.exe"
launcher=$e2e
ORVANEL_CLIENT_SECONDS=4 gui "$work/play" & player=$!; pids+=("$player")
id=$(window_of) || fail "no window to click"
# The pointer starts where the cursor stands and follows its motion, so it
# ends where the cursor goes: on Play. (A fresh Xvfb moves its cursor only
# once a client has a window.)
sleep 0.5
xdotool mousemove 700 540
for _ in $(seq 1 100); do grep -aq 'The download completed successfully.' "$work/play/Debug.txt" 2>/dev/null && break; sleep 0.1; done
sleep 0.5
xdotool mousedown 1; sleep 0.3; xdotool mouseup 1
for _ in $(seq 1 50); do [ -e "$work/play/client-command-line.txt" ] && break; sleep 0.1; done
[ "$(cat "$work/play/client-command-line.txt" 2>/dev/null)" = "Orvanel Launcher" ] \
  && pass "Play started the client with \"Orvanel Launcher\"" || fail "no client start"
xwininfo -id "$id" 2>/dev/null | grep -q 'IsUnMapped' && pass "window hidden while the client runs" \
  || fail "window still shown"
out=$(run_headless "$work/play"); rc=$?
[ "$out" = "ERROR!: Only one game launcher process allowed!" ] && [ $rc -eq 0 ] \
  && pass "second launcher refused while the client runs" || fail "while playing: rc=$rc out=$out"
for _ in $(seq 1 100); do kill -0 "$player" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$player" 2>/dev/null; then
  fail "the launcher did not end after the client"
else
  wait "$player"; rc=$?
  [ $rc -eq 0 ] && pass "ended with 0 after the client" || fail "exit $rc after the client"
fi
grep -aq '(TESTCODE) Deleting DownloadFile Dump.' "$work/play/Debug.txt" && pass "shut down in full" \
  || fail "no shutdown after the client"

[ $failures -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
