#!/usr/bin/env bash
# The Windows build's start-up under Wine:
#   launcher_smoke.sh WINDOWS_BUILD_DIR
# Run inside tests/fixtures/with-xvfb and tests/fixtures/with-wine.
set -uo pipefail
build=$(cd "$1" && pwd)
launcher=$build/src/orvanel-launcher.exe
probe=$build/tests/wine/probe.exe
if [ ! -f "$launcher" ] || [ ! -f "$probe" ]; then
  echo "no Windows build in $build"; exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# Starts the launcher in folder $1 in the background; sets $launched.
start() { (cd "$1" && exec "$WINE" "$launcher") & launched=$!; }

# Waits up to 30 s for a process to end; sets $rc to its exit code. (Not in
# a subshell: only this shell can wait for its children.)
await() {
  for _ in $(seq 1 300); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then kill -9 "$1"; rc=timeout; return; fi
  wait "$1"; rc=$?
}

# The start-up refusals show their box and end with 0.
refusal() {  # folder message what
  start "$1"
  texts=$("$WINE" "$probe" box 'ERROR!' 60 | tr -d '\r')
  echo "$texts" | grep -qxF "$2" && pass "$3: \"$2\"" || fail "$3: box said: $texts"
  await "$launched"
  [ "$rc" = 0 ] && pass "$3: exit code 0" || fail "$3: exit code $rc"
}

mkdir "$work/empty"
refusal "$work/empty" "Configuration file contents cannot be found!" "empty folder"
[ ! -e "$work/empty/Debug.txt" ] && pass "empty folder leaves no log" || fail "empty folder wrote a log"

mkdir "$work/bad" && printf 'Version = 1.2.x.4' >"$work/bad/System.ini"
refusal "$work/bad" "Configuration file contents cannot be found!" "malformed System.ini"
if grep -aqE '^\([0-9]{4}:[ 0-9]{2}:[ 0-9]{2}_[ 0-9]{2}:[ 0-9]{2}:[ 0-9]{2}\) - \(!\) System\.ini configuration file error\(1\)\(3\)!'$'\r''$' "$work/bad/Debug.txt"; then
  pass "error line with its time prefix"
else
  fail "log: $(cat -A "$work/bad/Debug.txt" 2>&1)"
fi

mkdir "$work/game" && printf 'Version = 1.0.0.7' >"$work/game/System.ini"
start "$work/game"; first=$launched
id=""
for _ in $(seq 1 300); do
  id=$(xdotool search --name '^Orvanel Launcher$' 2>/dev/null | head -n1)
  [ -n "$id" ] && break
  sleep 0.1
done
if [ -n "$id" ]; then
  geometry=$(xdotool getwindowgeometry "$id")
  echo "$geometry" | grep -q 'Position: 112,84' && echo "$geometry" | grep -q 'Geometry: 800x600' \
    && pass "window 800x600 at (112, 84)" || fail "geometry: $geometry"
else
  fail "no launcher window"
fi
refusal "$work/game" "Only one game launcher process allowed!" "second launcher"
kill -0 "$first" 2>/dev/null && pass "first launcher runs on" || fail "first launcher ended"
"$WINE" "$probe" close 'Orvanel Launcher' 30 || fail "could not close the window"
await "$first"
[ "$rc" = 0 ] && pass "closed with exit code 0" || fail "exit code $rc after close"
grep -aq '(TESTCODE) Deleting Main Dump\.'$'\r''$' "$work/game/Debug.txt" \
  && pass "shutdown logged" || fail "no shutdown line"

[ $failures -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
