#!/usr/bin/env bash
# Times the update engine against curl on the same file sets from nginx on
# loopback: 8 files of 128 MiB, and 2,000 files of 4 KiB. curl runs as one
# process fetching the same URLs in sequence, so it reuses its connection as
# the engine does. Prints each time, the ratio engine / curl and files per
# second (best of RUNS, default 3), and curl again with one flush of the
# file system after it, since the engine makes every file durable.
#   bench/update_engine.sh [RUNS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
cmake --preset linux >/dev/null
cmake --build --preset linux --target update_bench >/dev/null
driver=$root/build/linux/bench/update_bench
source "$root/tests/fixtures/nginx.sh"
work=$(mktemp -d /tmp/orvanel-bench-XXXXXX)
trap 'nginx_stop; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

# A version holds at most 200 files, so the files are spread over versions
# 2.0.0.1, 2.0.0.2, ... of up to 200 each; file i lives in version_of i.
version_of() { echo "2.0.0.$(( ($1 - 1) / 200 + 1 ))"; }

make_set() {  # name count size_in_bytes
  local dir=$work/server/$1/updates
  mkdir -p "$dir"
  for i in $(seq 1 "$2"); do
    if [ $(( (i - 1) % 200 )) -eq 0 ]; then
      v=$(version_of "$i"); mkdir -p "$dir/$v"; echo "patch = ${v//./, }"
    fi
    echo "file = f$i, bin, 0, data\\"
  done >"$dir/patch.ini"
  if [ "$3" -ge 1048576 ]; then
    for i in $(seq 1 "$2"); do head -c "$3" /dev/urandom >"$dir/$(version_of "$i")/f$i.ini"; done
  else
    head -c $(( $2 * $3 )) /dev/urandom | split -b "$3" -a 5 - "$dir/chunk"
    local i=0
    for f in "$dir"/chunk*; do i=$((i + 1)); mv "$f" "$dir/$(version_of "$i")/f$i.ini"; done
  fi
}

best() { sort -n | head -n1; }

bench_set() {  # name count
  local name=$1 count=$2 base="http://127.0.0.1:$port/$1/updates"
  local engine=() plain=() durable=()
  for _ in $(seq 1 "$runs"); do
    rm -rf "$work/install" && mkdir "$work/install"
    printf 'Version = 1.0.0.0' >"$work/install/System.ini"
    engine+=("$(cd "$work/install" && "$driver" "$base" | cut -d' ' -f1)")
    rm -rf "$work/curl" && mkdir -p "$work/curl/data"
    { for i in $(seq 1 "$count"); do
        echo "url = \"$base/$(version_of "$i")/f$i.ini\""; echo "output = \"$work/curl/data/f$i.bin\""
      done; } >"$work/curl.cfg"
    local start end
    start=$(date +%s.%N)
    curl -s -H 'Cache-Control: no-cache' "$base/patch.ini" -o "$work/curl/patch.ini" --next -s -K "$work/curl.cfg"
    end=$(date +%s.%N)
    plain+=("$(echo "$end - $start" | bc)")
    # The engine makes each file durable before it takes its name; curl
    # leaves them in the page cache. Its time with one flush of the file
    # system after it, for comparison.
    sync -f "$work/curl/data"
    durable+=("$(echo "$(date +%s.%N) - $start" | bc)")
  done
  local e c d
  e=$(printf '%s\n' "${engine[@]}" | best)
  c=$(printf '%s\n' "${plain[@]}" | best)
  d=$(printf '%s\n' "${durable[@]}" | best)
  printf '%-6s engine %7.3f s  curl %7.3f s  ratio %.3f  curl+sync %7.3f s  ratio %.3f  %6.0f files/s\n' \
    "$name" "$e" "$c" "$(echo "$e / $c" | bc -l)" "$d" "$(echo "$e / $d" | bc -l)" \
    "$(echo "$count / $e" | bc -l)"
}

make_set large 8 $((128 * 1024 * 1024))
make_set small 2000 4096
nginx_start "$work/server" "$port"
bench_set large 8
bench_set small 2000
