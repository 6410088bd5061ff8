#!/usr/bin/env bash
# Playing: the launcher with the real mouse under the display that
# tests/fixtures/with-xvfb provides (1024x768): a drag, then Play.
#   play.sh ORVANEL_LAUNCHER_E2E STAND_IN_CLIENT
# The e2e twin fetches its updates from 127.0.0.1:18089, where this serves
# an installation that is already up to date.
set -uo pipefail
e2e=$1 client=$2
source "$(dirname "$0")/../fixtures/nginx.sh"
source "$(dirname "$0")/../fixtures/launcher.sh"
on_exit() { nginx_stop; }

# Play: a press and release over the button once up to date hides the
# window and starts the client with "Orvanel Launcher"; a second launcher is
# refused while the client runs; when it exits the launcher ends with 0.
mkdir -p "$work/server/updates" "$work/play"
printf 'patch = 1, 0, 0, 7\n' >"$work/server/updates/patch.ini"
nginx_start "$work/server" 18089 || fail "nginx did not start"
printf 'Version = 1.0.0.7' >"$work/play/System.ini"
cp "$client" "$work/play/Orvanel.exe"
launcher=$e2e
export ORVANEL_CLIENT_SECONDS=4  # (a prefix on a function call would fork a second shell)
gui "$work/play" & player=$!; pids+=("$player")
id=$(window_of "$player") || fail "no window to click"
# The pointer starts where the cursor stands and follows its motion, so it
# ends where the cursor goes: on Play. (A fresh Xvfb moves its cursor only
# once a client has a window.)
sleep 0.5
# A drag with the left button moves the window by the pointer's motion.
xdotool mousemove 400 300; sleep 0.3
xdotool mousedown 1; sleep 0.2
for step in 1 2 3 4 5; do xdotool mousemove $((400 + 6 * step)) $((300 - 2 * step)); sleep 0.1; done
sleep 0.2; xdotool mouseup 1; sleep 0.3
geometry=$(xdotool getwindowgeometry "$id")
echo "$geometry" | grep -q 'Position: 142,74' && pass "a drag moved the window by (30, -10)" \
  || fail "after the drag: $geometry"
xdotool mousemove 700 540   # the pointer follows the cursor, wherever the window is
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
gui "$work/play" & again=$!; pids+=("$again")
window_of "$again" >/dev/null && kill -0 "$again" 2>/dev/null && pass "a new launcher starts after the game" \
  || fail "no new launcher after the game"
kill -TERM "$again"; wait "$again" 2>/dev/null

finish
