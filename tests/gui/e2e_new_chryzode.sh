#!/usr/bin/env bash
# End to end: the built program on an X display, driven with real X input as a
# user drives it. New chryzode with typed values, the figure checked against
# the engine's own picture of them (drawn by quorvane-render), then File > Quit.
#   tests/with_xvfb.sh tests/gui/e2e_new_chryzode.sh QUORVANE QUORVANE_RENDER [KEEP_DIR]
set -euo pipefail
quorvane=$1
render=$2
keep=${3:-}
work=${keep:-$(mktemp -d)}
mkdir -p "$work"
pid=
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    # Allegro's own exit can hang once the X server is going away.
    for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "$pid" 2>/dev/null && sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  [ -n "$keep" ] || rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../e2e_lib.sh"

shot() { import -window root -crop 640x480+0+0 +repage "$work/shot.png"; }
pixel() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info:; }
# Pixels that differ between the screenshot and a picture, rows $1 to $2 - 1.
differing_rows() {
  local crop="640x$(($2 - $1))+0+$1"
  convert "$work/shot.png" -crop "$crop" +repage "$work/shot_rows.png"
  convert "$3" -crop "$crop" +repage "$work/expected_rows.png"
  compare -metric AE "$work/shot_rows.png" "$work/expected_rows.png" null: 2>&1 || true
}

# Without a display the program says so and stops.
if env -u DISPLAY "$quorvane" 2>"$work/no_display.txt"; then fail "ran without a display"; fi
grep -q "xvfb-run" "$work/no_display.txt" || fail "no hint at xvfb-run: $(cat "$work/no_display.txt")"

"$quorvane" &
pid=$!
window=$(xdotool search --sync --name '^Quorvane - a chryzode explorer$' | head -n 1)
xdotool windowfocus --sync "$window"
# The pointer rests on the status bar, away from the figure.
park_pointer() { xdotool mousemove --sync 630 472; }
park_pointer
shot_shows_status_bar() { shot && [ "$(pixel 600 470)" != 000000 ]; }
wait_for 10 "the main window" shot_shows_status_bar

# Chryzode > New (Alt+C, N). The dialog is centred: its corner is at (120, 90).
xdotool key --delay 150 alt+c n
dialog_open() { shot && [ "$(pixel 125 380)" = "$(pixel 600 470)" ]; }
wait_for 10 "the New chryzode dialog" dialog_open

# The keyboard alone, so that every key is taken in order: Tab moves through
# OK, Cancel, n, m, r, zoom and the mode buttons; Space picks a mode.
clear5="End BackSpace BackSpace BackSpace BackSpace BackSpace"
xdotool key Tab Tab Tab $clear5
xdotool type --delay 30 3                  # n
xdotool key Tab $clear5
xdotool type --delay 30 1201               # m
xdotool key Tab Tab $clear5
xdotool type --delay 30 2                  # zoom
xdotool key Tab Tab space Tab Tab space    # Complete, Stored

"$render" -n 3 -m 1201 --complete --stored --zoom 2 --size 640x480 -o "$work/expected.bmp"
start=$(date +%s%N)
xdotool key Return
# The view covers the whole window and the status bar is drawn over it, so a
# screenshot taken between the two shows the figure without the bar: both are
# looked for in the same screenshot.
figure_shown() {
  shot && [ "$(pixel 600 470)" != 000000 ] && [ "$(differing_rows 20 460 "$work/expected.bmp")" = 0 ]
}
wait_for 30 "the figure under its status bar" figure_shown
echo "OK to figure on screen: $((($(date +%s%N) - start) / 1000000)) ms, screenshots polled"

# File > Quit (Alt+F, Q): the program ends on its own, with status 0.
xdotool key --delay 150 alt+f q
ended() { ! kill -0 "$pid" 2>/dev/null; }
wait_for 10 "the program to end" ended
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || fail "exit status $status"
echo "PASS"
