#!/usr/bin/env bash
# Crash consistency: the launcher updates a real installation from nginx
# through four versions (published with orvanel-publish) and is killed with
# SIGKILL at random points: after a random time, after a random line of its
# log (between files, between versions), or right after a System.ini save.
# After every kill System.ini holds a complete version and every installed
# file equals some published version of it. A last start against the healthy
# server completes the update: the installation equals the newest build and
# no temporary is left.
#   crash_consistency.sh ORVANEL_LAUNCHER_E2E ORVANEL_PUBLISH [KILLS]
# Each run prints its seed; CRASH_SEED=N replays that run's kill points.
set -uo pipefail
e2e=$1 publish=$2 kills=${3:-24}
here=$(cd "$(dirname "$0")" && pwd)
assets=$here/../../assets/install
source "$here/../fixtures/nginx.sh"
source "$here/../fixtures/launcher.sh"
on_exit() { nginx_stop; }
launcher=$e2e

seed=${CRASH_SEED:-$(( $(date +%s%N) % 32768 ))}
RANDOM=$seed
echo "seed $seed (CRASH_SEED=$seed replays these kill points)"

# Four builds: large files that take a while, a version of many small files,
# names with spaces, files that later versions replace.
builds=$work/builds server=$work/server/updates
mkdir -p "$builds/1.0.0.1/data" "$builds/1.0.0.1/maps" "$builds/1.0.0.1/docs" "$server"
head -c 1500000 /dev/urandom >"$builds/1.0.0.1/data/big.pak"
head -c 200000 /dev/urandom >"$builds/1.0.0.1/maps/map_01.dat"
printf 'Read me, first edition.\r\n' >"$builds/1.0.0.1/docs/read me.txt"
cp -r "$builds/1.0.0.1" "$builds/1.0.0.2"
head -c 1500000 /dev/urandom >"$builds/1.0.0.2/data/big.pak"
head -c 300000 /dev/urandom >"$builds/1.0.0.2/maps/map_02.dat"
cp -r "$builds/1.0.0.2" "$builds/1.0.0.3"
mkdir -p "$builds/1.0.0.3/sounds"
for n in $(seq 1 12); do head -c $((4000 + n * 1000)) /dev/urandom >"$builds/1.0.0.3/sounds/s$n.wav"; done
cp -r "$builds/1.0.0.3" "$builds/1.0.0.4"
head -c 1500000 /dev/urandom >"$builds/1.0.0.4/data/big.pak"
printf 'Read me, fourth edition.\r\n' >"$builds/1.0.0.4/docs/read me.txt"
previous=""
for v in 1.0.0.1 1.0.0.2 1.0.0.3 1.0.0.4; do
  "$publish" add "$server" "$v" "$builds/$v" ${previous:+--since "$builds/$previous"} >/dev/null ||
    fail "publishing $v"
  previous=$v
done

# Paced, so that a kill lands inside transfers too: a large file takes
# about half a second.
nginx_start "$work/server" 18089 'limit_rate 3m;' || { fail "nginx did not start"; finish; }

install=$work/install
fresh_install() {
  rm -rf "$install"
  mkdir -p "$install"
  cp -r "$assets/." "$install/"
}

# Checks the installation after a kill; with "final", also that the update
# is complete and nothing temporary is left.
check_install() {
  local final=${1:-} version file relative ok=1
  version=$(cat "$install/System.ini" 2>/dev/null)
  [[ $version =~ ^Version\ =\ 1\.0\.0\.[0-4]$ ]] || { fail "System.ini holds '$version'"; ok=0; }
  while IFS= read -r -d '' file; do
    relative=${file#"$install/"}
    case $relative in
      System.ini | Debug.txt) continue ;;
      Sprites/*) cmp -s "$file" "$assets/$relative" || { fail "$relative changed"; ok=0; }; continue ;;
      *.part | System.ini.tmp | temp/patch.ini)
        [ -n "$final" ] && { fail "$relative left behind"; ok=0; }
        continue ;;
    esac
    local matched=0
    for v in 1.0.0.1 1.0.0.2 1.0.0.3 1.0.0.4; do
      cmp -s "$file" "$builds/$v/$relative" && { matched=1; break; }
    done
    [ $matched -eq 1 ] || { fail "$relative ($(stat -c %s "$file") bytes) is no published version of it"; ok=0; }
  done < <(find "$install" -type f -print0)
  if [ -n "$final" ]; then
    [ "$version" = "Version = 1.0.0.4" ] || { fail "the update did not complete: $version"; ok=0; }
    (cd "$builds/1.0.0.4" && find . -type f) | while read -r relative; do
      cmp -s "$builds/1.0.0.4/$relative" "$install/$relative" || echo "$relative"
    done >"$work/differs"
    [ -s "$work/differs" ] && { fail "differs from the newest build: $(tr '\n' ' ' <"$work/differs")"; ok=0; }
  fi
  return $((1 - ok))
}

log_lines() { [ -f "$install/Debug.txt" ] && wc -l <"$install/Debug.txt" || echo 0; }

# This run's part of the log (from line $start on).
run_log() { tail -n +$((start + 1)) "$install/Debug.txt" 2>/dev/null; }

# Waits until the run's log has $2 lines, or $2 lines matching $3, or the
# update has completed, or the launcher $1 has gone (at most 10 s).
wait_for_log() {
  local count
  for _ in $(seq 1 1000); do
    if [ -n "${3:-}" ]; then count=$(run_log | grep -c "$3"); else count=$(run_log | wc -l); fi
    [ "$count" -ge "$2" ] && return 0
    run_log | grep -q 'Updates completed successfully.' && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.01
  done
  return 1
}

installed_number() { cat "$install/System.ini" 2>/dev/null | sed -n 's/^Version = 1\.0\.0\.//p'; }

fresh_install
survived=0 round=1
for k in $(seq 1 "$kills"); do
  start=$(log_lines)
  gui "$install" & pid=$!; pids+=("$pid")
  remaining=$((4 - $(installed_number)))
  case $((RANDOM % 3)) in
    0) ms=$((200 + RANDOM % 2500))
       sleep "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
       point="$ms ms after the start" ;;
    1) line=$((1 + RANDOM % (8 * remaining + 4)))
       wait_for_log "$pid" "$line"
       point="at line $line of the run's log" ;;
    2) saves=$((1 + RANDOM % remaining))
       wait_for_log "$pid" "$saves" 'New System Config File Size'
       point="right after System.ini save $saves of the run" ;;
  esac
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  last=$(tail -n 1 "$install/Debug.txt" 2>/dev/null | cut -c25-)
  echo "kill $k (round $round): $point; installed: $(cat "$install/System.ini"); last line: $last"
  if check_install; then
    survived=$((survived + 1))
  fi
  # Once complete, start again from version 1.0.0.0: kills after the end
  # would test nothing.
  if [ "$(cat "$install/System.ini")" = "Version = 1.0.0.4" ]; then
    fresh_install
    round=$((round + 1))
  fi
done
echo "survived $survived of $kills kill points"

# The last start, undisturbed.
start=$(log_lines)
gui "$install" & pid=$!; pids+=("$pid")
done_run=0
for _ in $(seq 1 300); do
  run_log | grep -q 'Updates completed successfully.' && { done_run=1; break; }
  sleep 0.1
done
[ $done_run -eq 1 ] || fail "the last start did not complete the update"
kill -TERM "$pid"
wait "$pid"
rc=$?
[ $rc -eq 0 ] && pass "the last launcher closed with 0" || fail "the last launcher ended with $rc"
check_install final && pass "after the last start the installation is the newest build, nothing temporary left"
finish
