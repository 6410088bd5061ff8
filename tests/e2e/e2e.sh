#!/usr/bin/env bash
# End to end, as an operator and a player use the system, on one build:
# three versions published with orvanel-publish and served by nginx, a fresh
# installation updated by the launcher, its three screens checked at the
# layout's pixels, Play pressed with the real mouse, and a run in which the
# server goes away during the second version, then a rerun.
#   e2e.sh linux   LINUX_BUILD_DIR                     (inside with-xvfb)
#   e2e.sh windows LINUX_BUILD_DIR WINDOWS_BUILD_DIR   (inside with-xvfb and with-wine)
# The launchers are the e2e twins, which fetch from 127.0.0.1:18089.
set -uo pipefail
kind=$1 linux=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
assets=$here/../../assets/install
publish=$linux/tools/orvanel-publish
port=18089 base=http://127.0.0.1:18089/updates
if [ "$kind" = windows ]; then
  windows=$(cd "$3" && pwd)
  launcher=$windows/src/orvanel-launcher-e2e.exe client=$windows/tools/Orvanel.exe
  probe=$windows/tests/wine/probe.exe
  [ -f "$launcher" ] && [ -f "$probe" ] && [ -f "$client" ] || { echo "no Windows build in $3"; exit 77; }
  manifest_rate=60   # Wine takes seconds to show its first frame: ~12 s
else
  launcher=$linux/src/orvanel-launcher-e2e client=$linux/tools/stand-in-client
  manifest_rate=150  # ~5 s for the manifest
fi
source "$here/../fixtures/nginx.sh"
source "$here/../fixtures/launcher.sh"
on_exit() { nginx_stop; }
shots=${E2E_SHOTS:-$work/shots}
mkdir -p "$shots"

# Starts the launcher in a folder as a background job; its pid in $pid.
start_launcher() {
  if [ "$kind" = windows ]; then
    (cd "$1" && exec nice -n 19 "$WINE" "$launcher" 2>>"$work/wine.err") &
  else
    (cd "$1" && exec nice -n 19 "$launcher") &
  fi
  pid=$!
  pids+=("$pid")
}
visible_window() { xdotool search --onlyvisible --name '^Orvanel Launcher$' 2>/dev/null | head -n1; }
wait_visible() {
  for _ in $(seq 1 300); do [ -n "$(visible_window)" ] && return 0; sleep 0.1; done
  return 1
}
# Waits up to $3 seconds until the log in $1 holds $2.
wait_log() {
  for _ in $(seq 1 $(($3 * 10))); do grep -aqF -- "$2" "$1/Debug.txt" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
count_log() { grep -acF -- "$2" "$1/Debug.txt" 2>/dev/null || true; }
# Closes the launcher $pid as a player would (the window's close message)
# and returns its exit code.
close_launcher() {
  if [ "$kind" = windows ]; then
    "$WINE" "$probe" close 'Orvanel Launcher' 30 >/dev/null
  else
    kill -TERM "$pid"
  fi
  for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; fail "the launcher did not end when closed"; }
  wait "$pid"
}

# The screen is the 800x600 window in the middle of the 1024x768 display.
shoot() { import -window root -crop 800x600+112+84 +repage "$shots/$1.png"; }
# Pixels of a region of a screenshot that differ from the same-sized region
# of an image (at RX,RY): shot x y w h image rx ry.
differing() {
  convert "$shots/$1.png" -crop "$4x$5+$2+$3" +repage "$work/a.png"
  convert "$6" -crop "$4x$5+$7+$8" +repage "$work/b.png"
  compare -metric AE -fuzz 12% "$work/a.png" "$work/b.png" null: 2>&1 | awk '{printf "%d", $1}'
}
background=$assets/Sprites/launcher.png fill=$assets/Sprites/launcher4.jpg
# Checks that count: description shot x y w h image rx ry -le|-gt N.
expect_region() {
  local n
  n=$(differing "$2" "$3" "$4" "$5" "$6" "$7" "$8" "$9")
  if [ "$n" "${10}" "${11}" ]; then pass "$2: $1"; else fail "$2: $1 ($n pixels differ)"; fi
}

# ---- the operator: three builds, published ----
builds=$work/builds server=$work/server/updates
b1=$builds/1.0.0.1 b2=$builds/1.0.0.2 b3=$builds/1.0.0.3
mkdir -p "$b1"/{data,maps/old,maps/new,docs,config,sounds,textures/ui} "$server"
head -c 2000000 /dev/urandom >"$b1/data/big.pak"
head -c 400000 /dev/urandom >"$b1/maps/old/map_01.dat"
head -c 90000 /dev/urandom >"$b1/maps/new/map_02.dat"
printf 'Read me, first edition.\r\n' >"$b1/docs/read me.txt"
printf '[sound]\r\nvolume=80\r\n' >"$b1/config/options.cfg"
for n in 1 2 3 4 5 6; do head -c $((3000 * n)) /dev/urandom >"$b1/sounds/s$n.wav"; done
for n in 1 2 3 4; do head -c $((5000 * n)) /dev/urandom >"$b1/textures/ui/t$n.tex"; done
cp -r "$b1" "$b2"
head -c 400000 /dev/urandom >"$b2/maps/old/map_01.dat"
printf 'Read me, second edition.\r\n' >"$b2/docs/read me.txt"
head -c 7000 /dev/urandom >"$b2/sounds/s7.wav"
cp -r "$b2" "$b3"
head -c 2000000 /dev/urandom >"$b3/data/big.pak"
printf 'Release notes for 1.0.0.3\r\n' >"$b3/release notes.txt"
"$publish" add "$server" 1.0.0.1 "$b1" >/dev/null &&
  "$publish" add "$server" 1.0.0.2 "$b2" --since "$b1" >/dev/null &&
  "$publish" add "$server" 1.0.0.3 "$b3" --since "$b2" >/dev/null &&
  "$publish" check "$server" >/dev/null || { fail "publishing"; finish; }
pass "published 3 versions, $(grep -c '^file' "$server/patch.ini") files"

fresh_install() {
  rm -rf "$1"
  mkdir -p "$1"
  cp -r "$assets/." "$1/"
  cp "$client" "$1/Orvanel.exe"
}

# Every file of the newest build, byte for byte, and nothing temporary.
expect_newest_build() {
  local relative bad=""
  while IFS= read -r relative; do
    cmp -s "$b3/$relative" "$1/$relative" || bad="$bad $relative"
  done < <(cd "$b3" && find . -type f | sed 's|^\./||')
  [ -z "$bad" ] && pass "$2: the installation is the newest build, byte for byte" || fail "$2: differs:$bad"
  [ "$(cat "$1/System.ini")" = "Version = 1.0.0.3" ] && pass "$2: System.ini holds 1.0.0.3" \
    || fail "$2: System.ini: $(cat "$1/System.ini")"
  [ -z "$(find "$1" -name '*.part' -o -name '*.tmp')" ] && pass "$2: no temporary left" \
    || fail "$2: temporaries: $(find "$1" -name '*.part' -o -name '*.tmp')"
}

# The worker's lines for the whole update, from the manifest: each file's
# URL, local path and the folders made for it, a System.ini save per version.
expected_update_log() {
  local version="" line name ext flag dir local path
  printf '%s\n' "$base/patch.ini" 'temp\patch.ini' 'The download completed successfully.'
  while IFS= read -r line; do
    line=${line%$'\r'}
    if [[ $line =~ ^patch\ =\ ([0-9]+),\ ([0-9]+),\ ([0-9]+),\ ([0-9]+)$ ]]; then
      [ -n "$version" ] && echo 'New System Config File Size = 17'
      version="${BASH_REMATCH[1]}.${BASH_REMATCH[2]}.${BASH_REMATCH[3]}.${BASH_REMATCH[4]}"
    elif [[ $line =~ ^file\ =\ ([^,]+),\ ([^,]+),\ ([01]),\ (.+)$ ]]; then
      name=${BASH_REMATCH[1]} ext=${BASH_REMATCH[2]} flag=${BASH_REMATCH[3]} dir=${BASH_REMATCH[4]}
      [ "$dir" = @root ] && dir=""
      local=$name
      [ "$flag" = 1 ] && local=${name//_/ }
      echo "$base/$version/$name.ini"
      echo "$dir$local.$ext"
      path=""
      IFS='\' read -r -a parts <<<"$dir"
      for part in "${parts[@]}"; do
        [ -z "$part" ] && continue
        path=${path:+$path\\}$part
        echo "$path"
      done
      echo 'The download completed successfully.'
    fi
  done <"$server/patch.ini"
  echo 'New System Config File Size = 17'
  echo 'Updates completed successfully.'
}
log_messages() { cut -c25- "$1/Debug.txt" | tr -d '\r'; }

# ---- the player: a fresh installation updated, then Play ----
# The manifest arrives slowly (the checking screen), the large files are
# paced (the downloading screen).
NGINX_MANIFEST_EXTRA="limit_rate $manifest_rate;" nginx_start "$work/server" $port \
  'location ~ /(big|map_01)\.ini$ { limit_rate 1m; }' || { fail "nginx did not start"; finish; }
game=$work/game
fresh_install "$game"
xdotool mousemove 520 300
export ORVANEL_CLIENT_SECONDS=8
start_launcher "$game"
player=$pid
wait_visible || fail "no launcher window"
sleep 0.5
shoot checking
[ "$(count_log "$game" 'The download completed successfully.')" = 0 ] \
  || fail "the manifest arrived before the checking screenshot"
expect_region "no Play before the update" checking 630 500 150 85 "$background" 630 500 -le 10
expect_region "no bars while checking" checking 45 512 570 50 "$background" 45 512 -le 10
expect_region "the status line" checking 420 573 200 14 "$background" 420 573 -gt 40
expect_region "the version" checking 20 573 100 14 "$background" 20 573 -gt 40

wait_log "$game" '1.0.0.3/big.ini' 60 || fail "the update did not reach 1.0.0.3"
sleep 1
shoot downloading
[ "$(count_log "$game" 'Updates completed successfully.')" = 0 ] \
  || fail "the update ended before the downloading screenshot"
expect_region "no Play while downloading" downloading 630 500 150 85 "$background" 630 500 -le 10
expect_region "the overall bar filled at its start" downloading 46 556 20 6 "$fill" 1 1 -le 10
expect_region "the file bar filled at its start" downloading 46 518 4 6 "$fill" 1 1 -le 2
expect_region "the file name in the text column" downloading 420 499 200 12 "$background" 420 499 -gt 30
expect_region "the file count in the text column" downloading 540 537 80 12 "$background" 540 537 -gt 20

wait_log "$game" 'Updates completed successfully.' 90 || fail "the update did not complete"
xdotool mousemove 700 540
sleep 1.5
shoot up-to-date
expect_region "Play shown when up to date" up-to-date 630 500 150 85 "$background" 630 500 -gt 2000
expect_region "no bars when up to date" up-to-date 45 512 570 50 "$background" 45 512 -le 10
expect_region "the up-to-date line" up-to-date 420 573 200 14 "$background" 420 573 -gt 40
expect_newest_build "$game" "after the update"

xdotool mousedown 1; sleep 0.3; xdotool mouseup 1
for _ in $(seq 1 100); do [ -s "$game/client-command-line.txt" ] && break; sleep 0.1; done
[ "$(tr -d '\r' <"$game/client-command-line.txt" 2>/dev/null)" = "Orvanel Launcher" ] \
  && pass "Play started the client with \"Orvanel Launcher\"" \
  || fail "no client start: '$(cat "$game/client-command-line.txt" 2>/dev/null)'"
sleep 0.5
[ -z "$(visible_window)" ] && pass "the window is hidden while the client runs" || fail "window still shown"
if [ "$kind" = windows ]; then
  start_launcher "$game"
  second=$pid
  text=$("$WINE" "$probe" box 'ERROR!' 30 | tr -d '\r' | grep -vxF OK)  # the box's texts: its button, its message
  for _ in $(seq 1 100); do kill -0 "$second" 2>/dev/null || break; sleep 0.1; done
  wait "$second"; rc=$?
else
  text=$(run_headless "$game"); rc=$?
  text=${text#ERROR!: }
fi
[ "$text" = "Only one game launcher process allowed!" ] && [ $rc -eq 0 ] \
  && pass "a second launcher is refused while the client runs" || fail "second launcher: rc=$rc text=$text"
pid=$player
for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  fail "the launcher did not end after the client"
  kill -9 "$pid"
else
  wait "$pid"; rc=$?
  [ $rc -eq 0 ] && pass "the launcher ended with 0 after the client" || fail "exit code $rc after the client"
fi
expected=$(expected_update_log; printf '%s\n' '(TESTCODE) Deleting Main Dump.' \
  '(TESTCODE) Deleting DxDraw Dump.' '(TESTCODE) Deleting DownloadFile Dump.')
if [ "$(log_messages "$game")" = "$expected" ]; then
  pass "Debug.txt: the worker's lines in order, then the shutdown's"
else
  fail "Debug.txt differs:"; diff <(echo "$expected") <(log_messages "$game") | head -20
fi
nginx_stop

# ---- a failure: the server goes away during the second version ----
nginx_start "$work/server" $port 'location ~ /(big|map_01)\.ini$ { limit_rate 1m; }' \
  || { fail "nginx did not start"; finish; }
broken=$work/broken
fresh_install "$broken"
start_launcher "$broken"
wait_log "$broken" '1.0.0.2/map_01.ini' 60 || fail "the update did not reach 1.0.0.2"
sleep 0.2
nginx_stop   # a fast shutdown: open connections are closed mid-body
invalid='The specified resource or callback interface was invalid.'
for _ in $(seq 1 300); do [ "$(count_log "$broken" "$invalid")" -ge 2 ] && break; sleep 0.1; done
[ "$(count_log "$broken" "$invalid")" = 2 ] && pass "the failure is logged twice" \
  || fail "failure lines: $(count_log "$broken" "$invalid")"
[ "$(tail -n 2 "$broken/Debug.txt" | cut -c25- | tr -d '\r' | sort -u)" = "$invalid" ] \
  && pass "the failure lines end the log" || fail "log ends: $(tail -n 2 "$broken/Debug.txt")"
[ "$(cat "$broken/System.ini")" = "Version = 1.0.0.1" ] && pass "System.ini holds the first version" \
  || fail "System.ini: $(cat "$broken/System.ini")"
cmp -s "$broken/maps/old/map_01.dat" "$b1/maps/old/map_01.dat" \
  && pass "the file in transfer is the first version's, whole" || fail "maps/old/map_01.dat is not 1.0.0.1's"
truncated=""
while IFS= read -r relative; do
  cmp -s "$broken/$relative" "$b1/$relative" || cmp -s "$broken/$relative" "$b2/$relative" ||
    truncated="$truncated $relative"
done < <(cd "$b2" && find . -type f | sed 's|^\./||' | while read -r f; do [ -e "$broken/$f" ] && echo "$f"; done)
[ -z "$truncated" ] && pass "no installed file is truncated" || fail "not a published version:$truncated"
[ -z "$(find "$broken" -name '*.part')" ] && pass "no partial file left" || fail "partial files left"
close_launcher; rc=$?
[ $rc -eq 0 ] && pass "the failed launcher closed with 0" || fail "the failed launcher ended with $rc"

nginx_start "$work/server" $port || { fail "nginx did not start again"; finish; }
start_launcher "$broken"
wait_log "$broken" 'Updates completed successfully.' 90 || fail "the rerun did not complete"
close_launcher; rc=$?
[ $rc -eq 0 ] && pass "the rerun closed with 0" || fail "the rerun ended with $rc"
expect_newest_build "$broken" "after the rerun"

if [ "$kind" = windows ] && grep -aq "Unhandled" "$work/wine.err" 2>/dev/null; then
  fail "the launcher crashed under Wine"
fi
finish
