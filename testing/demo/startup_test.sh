#!/usr/bin/env bash
# The hall's start-up with real `tarvix` processes in a program folder laid out by scripts/run
# (its servers only; this test starts the halls), on a virtual display:
#   second    a second start ends without a window, and the first hall comes forward
#   killed    a start after the first hall was killed runs normally (no stale lock)
#   update    an update of the hall ready, with the real brimsett: the applier is started with
#             the exact parameter text, the hall ends without a main window, the files are
#             installed and the applier starts the hall again
#   yes / no  the applier missing: YES runs the hall with the files it has (the download stays in
#             the cache, nothing half-installed), NO ends it without a main window
#
#   startup_test.sh <source folder> <build folder> [case...]
#
# Screenshots go to <build>/startup_shots. Run as root it takes a network namespace of its own.
set -euo pipefail

src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
shift 2
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(second killed update yes no)
# One folder per run of the script: ctest runs the cases side by side.
shots=$build/startup_shots/$(IFS=-; echo "${cases[*]}")

if [ -z "${STARTUP_ISOLATED:-}" ] && [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null &&
   command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  export STARTUP_ISOLATED=1
  exec unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$src" "$build" "${cases[@]}"
fi

source "$src/testing/demo/x_session.sh"
mkdir -p "$shots"
rm -f "$shots"/*.png
step=0
tmp=
servers=
export LANG=C.UTF-8 TARVIX_LOG_LEVEL=2
unset DISPLAY

watcher=
stop_case() {
  local p
  # The window watch holds this script's output open: it ends first, or a failed case would keep
  # whoever reads the output waiting.
  [ -z "$watcher" ] || stop_watch
  for p in $(pids_of_program "$folder/tarvix"); do kill -KILL "$p" 2>/dev/null || true; done
  if [ -n "$servers" ]; then kill "$servers" 2>/dev/null || true; wait "$servers" 2>/dev/null || true; fi
  servers=
  [ -z "$tmp" ] || rm -rf "$tmp"
  tmp=
}
trap stop_case EXIT

fail() {
  echo "FAIL [$case]: $*"
  shot "$case-failure" || true
  for f in "$tmp"/hall*.log "$tmp/run.out" "$tmp/applier.args" "$tmp/main_windows" \
           "$work/nginx/access.log"; do
    [ -f "$f" ] && { echo "--- $f"; tail -20 "$f"; }
  done
  # The update log is UTF-16LE.
  [ -f "$folder/voupd.log" ] && { echo "--- update log"; iconv -f UTF-16LE -t UTF-8 -c "$folder/voupd.log" | tail -20; }
  echo "--- windows"; windows_of . || true
  echo "--- processes"; ps -eo pid,args | grep -F "$tmp" | grep -v grep || true
  exit 1
}

# A fresh program folder, its servers and a display for one case.
start_case() {
  tmp=$(mktemp -d /tmp/startup.XXXXXX)
  folder="$tmp/程序 大厅"
  work="$tmp/run"
  export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" HOME="$tmp"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  bash "$src/scripts/run" --xvfb --servers-only --no-build --build "$build" --folder "$folder" \
    --work "$work" >"$tmp/run.out" 2>&1 &
  servers=$!
  wait_for 120 test -f "$work/ready" || fail "the servers did not start"
  export DISPLAY=":$(tr -dc 0-9 < "$work/xvfb.display")"
}

# Starts a hall from the program folder; its pid in $started_hall, its log hall<n>.log.
halls=0
start_hall() {
  halls=$((halls + 1))
  (cd "$folder" && exec ./tarvix) 2>>"$tmp/hall$halls.log" &
  started_hall=$!
}
# The hall's main window and login dialog, drawn.
wait_login() {
  wait_for 90 find_window tarvix "休闲游zeb" 600x800 || fail "no main window"
  main_win=$win main_x=$win_x main_y=$win_y
  wait_for 60 find_window tarvix "" 440x370 || fail "no login dialog"
  login_win=$win login_x=$win_x login_y=$win_y
  wait_for 30 pixel_is $((login_x + 261)) $((login_y + 294)) orange || fail "the login dialog is not drawn"
}
# Top-level windows, bottom first (X's stacking order).
stacking() { xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p' | tac; }
# Position of window $1 (decimal id) in the stacking order, 0 at the bottom.
stack_place() {
  local hex n=0 w
  hex=$(printf '0x%x' "$1")
  for w in $(stacking); do
    [ "$w" = "$hex" ] && { echo $n; return 0; }
    n=$((n + 1))
  done
  echo -1
}
# Notes the process of every main window of the hall shown from now on, in the background, one
# line each into $tmp/main_windows.
watch_main_windows() {
  : >"$tmp/main_windows"
  ( set +e +o pipefail
    while :; do
      windows_of tarvix | grep '|休闲游zeb|' | cut -d'|' -f1 | while read -r w; do
        xprop -id "$w" _NET_WM_PID 2>/dev/null | tr -dc 0-9
        echo
      done >>"$tmp/main_windows"
      sleep 0.05
    done ) &
  watcher=$!
}
stop_watch() {
  kill "$watcher" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  watcher=
}
ever_main_window() { grep -q '[0-9]' "$tmp/main_windows" 2>/dev/null; }
main_window_of() { grep -qx "$1" "$tmp/main_windows" 2>/dev/null; }

# Serves a newer list of the hall: every installed file of the hall as it is now, and one new
# file, which the applier is to install.
serve_hall_update() {
  local www="$work/www/Tarvix"
  rm -rf "$www"
  mkdir -p "$www/LobbyData"
  local f
  sed -n 's/.*path="\([^"]*\)".*/\1/p' "$folder/updateTarvix.cl" | tr '\\' '/' | while read -r f; do
    mkdir -p "$www/$(dirname "$f")"
    cp -p "$folder/$f" "$www/$f"
  done
  echo "新版大厅的公告" > "$www/LobbyData/news.txt"
  "$build/bin/tarvix_make_check_list" "$www" -o "$www/update.cl" >/dev/null
  # Clearly newer than the installed list.
  touch -d '+2 minutes' "$www/update.cl"
}

run_second() {
  start_case
  start_hall
  local first=$started_hall
  wait_login
  # Another program's window over the hall.
  xmessage -geometry 700x900+0+0 "another program" &
  local cover=$!
  wait_for 30 find_window xmessage "" "" || fail "no covering window"
  local cover_win=$win
  [ "$(stack_place "$cover_win")" -gt "$(stack_place "$login_win")" ] || fail "the cover is not on top"
  shot second-first
  watch_main_windows
  start_hall
  local second=$started_hall
  wait_for 30 bash -c "! kill -0 $second 2>/dev/null" || fail "the second hall did not end"
  wait "$second" || true
  stop_watch
  # No window of the second process ever showed; the first came forward.
  ! main_window_of "$second" || fail "the second start made a main window"
  for line in $(windows_of tarvix | cut -d'|' -f1); do
    [ "$(xprop -id "$line" _NET_WM_PID | tr -dc 0-9)" = "$first" ] || fail "a window of another process"
  done
  above_cover() { [ "$(stack_place "$main_win")" -gt "$(stack_place "$cover_win")" ]; }
  wait_for 10 above_cover || fail "the first hall did not come forward"
  # Its login dialog came along above it: the hall still takes the login.
  [ "$(stack_place "$login_win")" -gt "$(stack_place "$main_win")" ] ||
    fail "the login dialog was left behind the main window"
  alive "$first" || fail "the first hall ended"
  shot second-forward
  kill "$cover" 2>/dev/null || true
  wait "$cover" 2>/dev/null || true
  stop_case
}

run_killed() {
  start_case
  start_hall
  local first=$started_hall
  wait_login
  kill -KILL "$first"
  wait "$first" 2>/dev/null || true
  start_hall
  local next=$started_hall
  wait_login
  [ "$(xprop -id "$main_win" _NET_WM_PID | tr -dc 0-9)" = "$next" ] || fail "the main window is not the new hall's"
  shot killed-restarted
  stop_case
}

run_update() {
  start_case
  serve_hall_update
  # The applier records the arguments it was started with, then is the real one.
  mv "$folder/brimsett" "$folder/brimsett.real"
  printf '#!/bin/sh\nprintf "%%s\\n" "$@" > "%s"\nexec "$(dirname "$0")/brimsett.real" "$@"\n' \
    "$tmp/applier.args" > "$folder/brimsett"
  chmod 755 "$folder/brimsett"
  watch_main_windows
  start_hall
  local first=$started_hall
  wait_for 90 test -s "$tmp/applier.args" || fail "the applier was not started"
  wait_for 30 bash -c "! kill -0 $first 2>/dev/null" || fail "the hall did not end for the applier"
  wait "$first" || true
  local expected
  expected=$(printf '%s\n' "/d:\"$folder\"" "/s:\"$folder/cache/Tarvix\"" '/n:"Tarvix"' \
    "/l:\"$folder/tarvix\"" /waitparentexit)
  [ "$(cat "$tmp/applier.args")" = "$expected" ] ||
    fail "the applier's arguments: $(cat "$tmp/applier.args"), expected $expected"
  # The files are installed and the applier starts the hall again: its login shows.
  wait_for 60 test -f "$folder/LobbyData/news.txt" || fail "the update was not installed"
  cmp -s "$folder/updateTarvix.cl" "$work/www/Tarvix/update.cl" || fail "the new list was not installed"
  wait_login
  local restarted
  restarted=$(xprop -id "$main_win" _NET_WM_PID | tr -dc 0-9)
  [ "$restarted" != "$first" ] || fail "the main window is the first hall's"
  wait_for 10 main_window_of "$restarted" || fail "the watch missed the restarted hall's window"
  stop_watch
  # The first hall showed no main window: only the restarted one's was ever seen.
  ! main_window_of "$first" || fail "the hall showed a main window before handing over"
  main_window_of "$restarted" || fail "the restarted hall's window was not seen"
  shot update-restarted
  stop_case
}

# The applier missing; $1 is the answer: yes or no.
run_missing() {
  start_case
  serve_hall_update
  rm "$folder/brimsett"
  watch_main_windows
  start_hall
  local hall=$started_hall
  wait_for 180 find_window tarvix "信息" 360x170 || fail "no question"
  local qx=$win_x qy=$win_y
  wait_for 30 pixel_is $((qx + 40)) $((qy + 15)) blue || fail "the question is not drawn"
  shot "missing-question"
  ! ever_main_window || fail "a main window before the answer"
  if [ "$1" = yes ]; then
    click $((qx + 132)) $((qy + 146))
    wait_login
    stop_watch
    [ ! -e "$folder/LobbyData/news.txt" ] || fail "a file of the update was installed"
    [ -f "$folder/cache/Tarvix/LobbyData/news.txt.cache" ] || fail "the download left the cache"
    cmp -s "$folder/updateTarvix.cl" "$work/www/Tarvix/update.cl" && fail "the new list was installed"
    shot "missing-yes"
  else
    click $((qx + 228)) $((qy + 146))
    wait_for 30 bash -c "! kill -0 $hall 2>/dev/null" || fail "the hall did not end"
    wait "$hall" || true
    stop_watch
    ! ever_main_window || fail "the hall showed a main window"
  fi
  stop_case
}

for case in "${cases[@]}"; do
  case "$case" in
    second) run_second ;;
    killed) run_killed ;;
    update) run_update ;;
    yes) run_missing yes ;;
    no) run_missing no ;;
    *) echo "unknown case $case"; exit 2 ;;
  esac
  echo "ok: $case"
done
echo "start-up: every case passed; screenshots in $shots"
