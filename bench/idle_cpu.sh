#!/usr/bin/env bash
# CPU of the idle launcher: the Linux build on its up-to-date screen, the
# pointer resting on Play, nothing moving, under a private Xvfb. Reports the
# launcher's and the X server's CPU over SECONDS (default 10) as a share of
# one core.
#   bench/idle_cpu.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
if [ -z "${IDLE_CPU_INSIDE:-}" ]; then
  cmake --preset linux >/dev/null
  cmake --build --preset linux --target orvanel-launcher-e2e >/dev/null
  IDLE_CPU_INSIDE=1 exec "$root/tests/fixtures/with-xvfb" "$0" "$seconds"
fi
source "$root/tests/fixtures/nginx.sh"
work=$(mktemp -d /tmp/orvanel-idle-XXXXXX)
trap 'kill "$launcher" 2>/dev/null; wait "$launcher" 2>/dev/null; nginx_stop; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" "$work/server/updates" "$work/install"
printf 'patch = 1, 0, 0, 7\n' >"$work/server/updates/patch.ini"
cp -r "$root/assets/install/." "$work/install/"
printf 'Version = 1.0.0.7' >"$work/install/System.ini"
nginx_start "$work/server" 18089 >/dev/null   # the e2e twin's base URL
(cd "$work/install" && exec "$root/build/linux/src/orvanel-launcher-e2e") &
launcher=$!
xdotool mousemove 700 540 2>/dev/null || true   # the pointer on Play: its hover image shows
sleep 3   # started, up to date, first frames drawn
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
xvfb=$(pgrep -n Xvfb)
l0=$(ticks "$launcher") x0=$(ticks "$xvfb")
sleep "$seconds"
l1=$(ticks "$launcher") x1=$(ticks "$xvfb")
hz=$(getconf CLK_TCK)
share() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.1f %%", 100 * t / hz / s }'; }
echo "idle up-to-date screen over $seconds s: launcher $(share $((l1 - l0))) of a core, Xvfb $(share $((x1 - x0)))"
