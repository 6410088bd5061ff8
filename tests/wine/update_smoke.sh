#!/usr/bin/env bash
# The Windows build's update under Wine, with the real URLDownloadToFileA,
# against nginx on the end-to-end port (ORVANEL_E2E_BASE_URL):
#   update_smoke.sh WINDOWS_BUILD_DIR [PORT]
# Run inside tests/fixtures/with-xvfb and tests/fixtures/with-wine.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
port=${2:-18089}
launcher=$build/src/orvanel-launcher-e2e.exe
probe=$build/tests/wine/probe.exe
[ -f "$launcher" ] && [ -f "$probe" ] || { echo "no Windows build in $build"; exit 77; }
source "$here/../fixtures/nginx.sh"
work=$(mktemp -d)
trap 'nginx_stop; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
base="http://127.0.0.1:$port/updates"

# The Example update, and a second version whose last file is missing.
mkdir -p "$work/server/updates/1.0.0.7" "$work/server/updates/1.0.0.8"
printf 'patch = 1, 0, 0, 6\r\nfile = game_data, pak, 0, @root\r\npatch = 1, 0, 0, 7\r\nfile = readme_first, txt, 1, docs\\\r\nfile = map_01, dat, 0, maps\\old\\\r\npatch = 1, 0, 0, 8\r\nfile = extra, dat, 0, @root\r\nfile = missing, dat, 0, @root\r\n' \
  >"$work/server/updates/patch.ini"
printf 'read me' >"$work/server/updates/1.0.0.7/readme_first.ini"
head -c 300000 /dev/urandom >"$work/server/updates/1.0.0.7/map_01.ini"
printf 'extra' >"$work/server/updates/1.0.0.8/extra.ini"
nginx_start "$work/server" "$port" || exit 1

mkdir "$work/game"
printf 'Version = 1.0.0.6' >"$work/game/System.ini"
printf 'installed before' >"$work/game/missing.dat"
(cd "$work/game" && exec "$WINE" "$launcher" 2>"$work/wine.err") & launched=$!

for _ in $(seq 1 600); do
  [ "$(grep -ac "The specified resource or callback interface was invalid." "$work/game/Debug.txt" 2>/dev/null || true)" = 2 ] && break
  sleep 0.1
done
"$WINE" "$probe" close 'Orvanel Launcher' 30 >/dev/null || fail "no launcher window to close"
for _ in $(seq 1 300); do kill -0 "$launched" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$launched" 2>/dev/null; then kill -9 "$launched"; fail "did not end after close"; fi
wait "$launched"; rc=$?
[ $rc -eq 0 ] && pass "exit code 0" || fail "exit code $rc"

messages=$(cut -c25- "$work/game/Debug.txt" | tr -d '\r')
expected="$base/patch.ini
temp\\patch.ini
The download completed successfully.
$base/1.0.0.7/readme_first.ini
docs\\readme first.txt
docs
The download completed successfully.
$base/1.0.0.7/map_01.ini
maps\\old\\map_01.dat
maps
maps\\old
The download completed successfully.
New System Config File Size = 17
$base/1.0.0.8/extra.ini
extra.dat
The download completed successfully.
$base/1.0.0.8/missing.ini
missing.dat
The specified resource or callback interface was invalid.
The specified resource or callback interface was invalid.
(TESTCODE) Deleting Main Dump.
(TESTCODE) Deleting DxDraw Dump.
(TESTCODE) Deleting DownloadFile Dump."
if [ "$messages" = "$expected" ]; then
  pass "the worker's log lines, in order"
else
  fail "log differs:"; diff <(echo "$expected") <(echo "$messages")
fi
cmp -s "$work/game/docs/readme first.txt" "$work/server/updates/1.0.0.7/readme_first.ini" \
  && pass "docs/readme first.txt" || fail "docs/readme first.txt"
cmp -s "$work/game/maps/old/map_01.dat" "$work/server/updates/1.0.0.7/map_01.ini" \
  && pass "maps/old/map_01.dat" || fail "maps/old/map_01.dat"
[ "$(cat "$work/game/System.ini")" = "Version = 1.0.0.7" ] \
  && pass "System.ini holds 1.0.0.7" || fail "System.ini: $(cat "$work/game/System.ini")"
[ "$(cat "$work/game/missing.dat")" = "installed before" ] \
  && pass "a 404 never replaces an installed file" || fail "missing.dat: $(head -c 80 "$work/game/missing.dat")"
ls "$work/game"/*.part "$work/game"/*/*.part >/dev/null 2>&1 && fail "temporary files left" || pass "no temporary file left"

grep -a -A30 "Unhandled" "$work/wine.err" && fail "the launcher crashed"
[ $failures -eq 0 ] && echo "all passed" || echo "$failures failed"
exit $((failures > 0))
