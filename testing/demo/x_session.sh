# Helpers for driving the real hall on an X display (sourced by the whole-hall tests and the
# start-up timing): bounded waits, screenshots, windows by class, title and size, screen pixels,
# clicks, and processes by their program file. Expects $shots (screenshot folder) to be set
# before shot is used, and DISPLAY once windows are looked for.

# Every call to the X server is bounded: a tool that hangs (a window going away under it) must
# not hold a test up.
xq() { timeout 5 "$@"; }

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}
shot() {
  step=$((step + 1))
  xq import -window root "$shots/$(printf '%02d' $step)-$1.png"
}
has_line() { grep -q -- "$2" "$1" 2>/dev/null; }
count_lines() { grep -c -- "$2" "$1" 2>/dev/null || true; }

# Windows of a program's class, with their title, position and size: "id|title|x|y|w|h".
windows_of() {
  local w g
  for w in $(xq xdotool search --class "$1" 2>/dev/null); do
    g=$(xq xdotool getwindowgeometry --shell "$w" 2>/dev/null) || continue
    eval "$g"
    [ "$WIDTH" -gt 1 ] || continue
    echo "$w|$(LANG=C.UTF-8 xq xdotool getwindowname "$w" 2>/dev/null)|$X|$Y|$WIDTH|$HEIGHT"
  done
}
# Sets win, win_x, win_y to the window of class $1 titled $2 (any title when empty) sized $3.
find_window() {
  local line id title x y w h
  while IFS='|' read -r id title x y w h; do
    if { [ -z "$2" ] || [ "$title" = "$2" ]; } && { [ -z "$3" ] || [ "${w}x${h}" = "$3" ]; }; then
      win=$id win_x=$x win_y=$y
      return 0
    fi
  done < <(windows_of "$1")
  return 1
}
# The colour of a screen pixel as "r g b" (0-255).
pixel() {
  xq import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p' | head -1
}
# True when the screen area of $3 x $4 pixels at ($1, $2) holds drawn text: smoothed glyphs give
# many colours where a plain background or a rule gives one or two.
has_text_at() {
  local n
  n=$(xq import -window root -crop "$3x$4+$1+$2" -format %k info: 2>/dev/null) || return 1
  [ -n "$n" ] && [ "$n" -gt 8 ]
}
# True when the pixel at ($1, $2) is drawn in the colour kind $3: orange, green or blue.
pixel_is() {
  local r g b
  read -r r g b <<<"$(pixel "$1" "$2")" || return 1
  [ -n "$b" ] || return 1
  case "$3" in
    orange) [ "$r" -gt 180 ] && [ "$g" -gt 80 ] && [ "$g" -lt 190 ] && [ "$b" -lt 90 ] ;;
    green) [ "$g" -gt 120 ] && [ "$g" -gt $((r + 40)) ] && [ "$g" -gt $((b + 20)) ] ;;
    blue) [ "$b" -gt 120 ] && [ "$b" -gt $((r + 40)) ] ;;
  esac
}
click() { xq xdotool mousemove "$1" "$2" click 1; }
alive() { kill -0 "$1" 2>/dev/null; }
# Processes whose program is $1.
pids_of_program() {
  local p exe
  for p in /proc/[0-9]*; do
    exe=$(readlink "$p/exe" 2>/dev/null) || continue
    [ "$exe" = "$1" ] && echo "${p#/proc/}"
  done
  return 0
}

# Milliseconds since the epoch.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
