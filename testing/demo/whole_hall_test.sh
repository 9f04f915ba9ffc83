#!/usr/bin/env bash
# The whole hall as a person uses it, started as the README starts it (scripts/run, here over an
# existing build and on a virtual display of its own): the demo account typed into the real login
# dialog, the catalogue in the main window, a sign-up from a row (the demo game installed by its
# update), the match started by the demo world, the demo game launched with the exact launch
# string and receiving the login reply and MatchStart, the game's end logged once by the hall,
# and the hall closed with its close button, after which everything it started has ended.
#
#   whole_hall_test.sh <source folder> <build folder> [<screenshot folder>]
#
# Screenshots of each step go to the screenshot folder (default <build>/whole_hall_shots). Every
# wait is for a condition (a log line, a window, a pixel of a drawn window), each bounded.
#
# Run as root it takes a network namespace of its own (unshare), so that its hall's window title
# and its loopback ports meet no other hall or test on the machine.
set -euo pipefail

src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
shots=${3:-$build/whole_hall_shots}

if [ -z "${WHOLE_HALL_ISOLATED:-}" ] && [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null &&
   command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  export WHOLE_HALL_ISOLATED=1
  exec unshare -n bash -c 'ip link set lo up && exec bash "$0" "$@"' "$0" "$@"
fi

for tool in xdotool import convert Xvfb nginx curl; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/setup --deps)"; exit 1; }
done

tmp=$(mktemp -d /tmp/whole_hall.XXXXXX)
folder="$tmp/程序 大厅"
work="$tmp/run"
mkdir -p "$shots" "$tmp/config" "$tmp/runtime"
rm -f "$shots"/*.png
chmod 700 "$tmp/runtime"
# Saved accounts, the single-instance lock and the game's record stay in this test's folder.
export XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" HOME="$tmp"
export TARVIX_FAKE_GAME_RECORD="$tmp/game.rec"
export TARVIX_FAKE_GAME_WINDOW=1
export TARVIX_LOG_LEVEL=1
export LANG=C.UTF-8
unset DISPLAY

run_pid=
cleanup() {
  if [ -n "$run_pid" ] && kill -0 "$run_pid" 2>/dev/null; then
    kill "$run_pid" 2>/dev/null || true
    wait "$run_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

step=0
fail() {
  echo "FAIL: $*"
  shot "failure" || true
  for f in "$work/hall.log" "$work/gate.log" "$TARVIX_FAKE_GAME_RECORD" "$tmp/run.out"; do
    [ -f "$f" ] && { echo "--- $f"; grep -v '>>>>\|^,appid' "$f" | tail -25; }
  done
  exit 1
}
source "$src/testing/demo/x_session.sh"

# --- the hall starts as the README starts it
bash "$src/scripts/run" --xvfb --no-build --build "$build" --folder "$folder" --work "$work" \
  >"$tmp/run.out" 2>&1 &
run_pid=$!
wait_for 60 grep -qs '[0-9]' "$work/xvfb.display" || fail "no virtual display"
export DISPLAY=":$(tr -dc 0-9 < "$work/xvfb.display")"
wait_for 60 has_line "$tmp/run.out" "account" || fail "the servers did not start"

# The hall's own update finds nothing new: its list, and nothing else of the hall, is fetched.
wait_for 60 has_line "$work/nginx/access.log" "GET /Tarvix/update.cl" ||
  fail "the hall did not check its update"
# The login dialog over the main window, drawn (its orange login button).
wait_for 60 find_window tarvix "休闲游zeb" 600x800 || fail "no main window"
main_x=$win_x main_y=$win_y
wait_for 60 find_window tarvix "" 440x370 || fail "no login dialog"
login_x=$win_x login_y=$win_y
wait_for 30 pixel_is $((login_x + 261)) $((login_y + 294)) orange || fail "the login dialog is not drawn"
shot login
[ "$(grep -c 'GET /Tarvix/' "$work/nginx/access.log")" -eq 1 ] || fail "the hall fetched more than its list"

# --- the demo account typed into the real login dialog
click $((login_x + 200)) $((login_y + 162))
xdotool type --delay 40 demo01
click $((login_x + 200)) $((login_y + 206))
xdotool type --delay 40 demo1234
shot typed
click $((login_x + 261)) $((login_y + 294))
wait_for 60 has_line "$work/gate.log" "login account=demo01" || fail "no login reached the gate"
wait_for 60 has_line "$work/hall.log" "登录成功" || fail "the login did not succeed"

# --- the main window fills with the catalogue: the first plan's free sign-up button is drawn
row_x=$((main_x + 560)) row_y=$((main_y + 199))
wait_for 60 pixel_is $row_x $row_y green || fail "the plan tree did not fill"
wait_for 30 has_line "$work/hall.log" "Plan:groupid=1" || fail "the catalogue's plans are not logged"
shot catalogue

# --- sign up from the row: the demo game is installed by its update, then the sign-up dialog
click $row_x $row_y
wait_for 120 find_window tarvix "" 420x424 || fail "no sign-up dialog"
signup_x=$win_x signup_y=$win_y
wait_for 30 pixel_is $((signup_x + 134)) $((signup_y + 391)) orange || fail "the sign-up dialog is not drawn"
# The plan's details arrive after the dialog opens; their prize rows show at its next refresh.
wait_for 30 has_text_at $((signup_x + 22)) $((signup_y + 152)) 370 22 || fail "no prize rows"
shot signup
has_line "$work/nginx/access.log" "GET /demogame/demogame/fake_game" || fail "the game was not fetched"
[ -x "$folder/demogame/fake_game" ] || fail "the demo game is not installed as a program"
grep -q '^version=1.0.0.1' "$folder/demogame/demogame.cfg" || fail "the game's version file is missing"
click $((signup_x + 134)) $((signup_y + 391))

# --- the other seats fill, the match starts, the demo game is launched
wait_for 60 has_line "$work/gate.log" "^join match_app=21001" || fail "no join reached the gate"
wait_for 60 has_line "$work/gate.log" "^match start plan=1001" || fail "the match did not start"
key=$(sed -n 's/^match start plan=1001 key=\([0-9]*\).*/\1/p' "$work/gate.log" | head -1)
wait_for 60 find_window fake_game "" 560x560 || fail "no game window"
game_x=$win_x game_y=$win_y
wait_for 60 has_line "$TARVIX_FAKE_GAME_RECORD" "shown (14,15)" || fail "the game did not get MatchStart"
shot game
hall_pid=$(pids_of_program "$folder/tarvix" | head -1)
[ -n "$hall_pid" ] || fail "no hall process"
expected="params process_id:$hall_pid|user_id:80001|cmd_id:15|app_id:21001|app_type:13|plan_id:$key|"
expected+="match_id:100101|match_group:1|rank_appid:30|rank_objectid:1001|mp_id:41001|game_kind:601|"
expected+="exename:demogame/fake_game|resfolder:demogame"
actual=$(grep '^params ' "$TARVIX_FAKE_GAME_RECORD" | head -1)
[ "$actual" = "$expected" ] || fail "launch string: $actual, expected $expected"
has_line "$TARVIX_FAKE_GAME_RECORD" "^open ok" || fail "the game could not open its channel"
has_line "$TARVIX_FAKE_GAME_RECORD" "shown (13,2) 登录回复 · 结果 0 · 用户 80001" ||
  fail "the game did not get the login reply"
game_pid=$(pids_of_program "$folder/demogame/fake_game" | head -1)

# --- the game ends (its own button); the hall logs it once
click $((game_x + 491)) $((game_y + 534))
wait_for 30 has_line "$TARVIX_FAKE_GAME_RECORD" "^exit 0" || fail "the game did not end"
wait_for 30 has_line "$work/hall.log" "程序现在应当退出了" || fail "the hall did not notice the game's end"
shot game-ended

# --- the hall closed with its close button and the confirmation
click $((main_x + 579)) $((main_y + 18))
wait_for 30 find_window tarvix "" 360x190 || fail "no confirmation"
confirm_x=$win_x confirm_y=$win_y
wait_for 30 pixel_is $((confirm_x + 123)) $((confirm_y + 160)) blue || fail "the confirmation is not drawn"
shot confirm
click $((confirm_x + 123)) $((confirm_y + 160))
wait_for 60 bash -c "! kill -0 $run_pid 2>/dev/null" || fail "scripts/run did not end with the hall"
status=0
wait "$run_pid" || status=$?
run_pid=
[ "$status" -eq 0 ] || fail "scripts/run ended with $status"
has_line "$tmp/run.out" "the hall has ended (0)" || fail "the hall did not end normally"
[ "$(count_lines "$work/hall.log" "程序现在应当退出了")" -eq 1 ] || fail "the game's end was not logged once"

# --- everything it started has ended
for pid in $(cat "$work/servers.pid") $hall_pid $game_pid; do
  ! alive "$pid" || fail "process $pid is still running"
done
[ -z "$(pids_of_program "$folder/tarvix")" ] || fail "a hall is still running"
[ -z "$(pids_of_program "$folder/demogame/fake_game")" ] || fail "a game is still running"
echo "whole hall: every step passed; screenshots in $shots"
