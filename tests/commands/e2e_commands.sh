#!/usr/bin/env bash
# End to end: the built program driven with real X input as a user drives it.
# New chryzode, Zoom Out, Colors, Rerender, Graphics Mode 800x600, Rerender,
# Save image as into a fresh directory, Quit; the saved file is checked pixel
# by pixel against the engine's picture of the same figure, colours, zoom and
# size, as quorvane-render draws it. Then a program whose screen modes are all refused after start-up
# (gfx_refusal preloaded) stops with a message and a failure status when
# the graphics mode is changed.
#   tests/with_xvfb.sh tests/commands/e2e_commands.sh QUORVANE QUORVANE_RENDER GFX_REFUSAL_LIB
set -euo pipefail
quorvane=$1
render=$2
gfx_refusal=$3
work=$(mktemp -d)
pid=
cleanup() {
  # Allegro blocks SIGTERM.
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../e2e_lib.sh"

# A checksum of what the screen shows in a rectangle W H X Y.
region() { import -window root -crop "$1x$2+$3+$4" +repage rgb:- | md5sum; }
# The colour of one pixel of the screen.
pixel() { import -window root -crop "1x1+$1+$2" +repage -depth 8 -format '%[hex:p{0,0}]' info:; }
# Changed and settled: a long computation redraws its progress over the
# status line a few times a second, and drops the keys typed meanwhile.
changed() {
  local now
  now=$(region "$@")
  [ "$now" != "$before" ] && sleep 0.5 && [ "$(region "$@")" = "$now" ]
}
# Allegro's dialogs are white inside: a dialog is open when the 200 pixels
# left of its bottom-right corner are.
dialog_at() {
  [ "$(import -window root -crop "200x1+$(($1 - 199))+$2" +repage -depth 8 -format '%k %[hex:p{0,0}]' info:)" = "1 FFFFFF" ]
}
no_dialog_at() { ! dialog_at "$1" "$2"; }
running() { kill -0 "$pid" 2>/dev/null; }
ended() { ! running; }

start() {
  "$@" 2>"$work/stderr" &
  pid=$!
  window=$(xdotool search --sync --name '^Quorvane - a chryzode explorer$' | head -n 1)
  xdotool windowfocus --sync "$window"
  # The pointer rests on the status bar, away from the dialogs.
  xdotool mousemove --sync 630 472
  status_bar() { [ "$(pixel 600 470)" = FFFFFF ]; }
  wait_for 10 "the main window" status_bar
}

# Alt+letter opens a menu, the item's letter picks it.
menu() { xdotool key --delay 150 "alt+$1" "$2"; }
# Keys only: the GUI gives the focus to whatever lies under the pointer,
# which rests outside the dialogs. Tab moves the focus in table order.
keys() { xdotool key --delay 20 "$@"; }
# The keys that type a text.
text() {
  local c out=()
  for ((i = 0; i < ${#1}; i++)); do
    c=${1:i:1}
    case $c in
      /) out+=(slash) ;; .) out+=(period) ;; -) out+=(minus) ;; _) out+=(underscore) ;; *) out+=("$c") ;;
    esac
  done
  keys "${out[@]}"
}
# Clears the focused edit field of up to $1 characters, types $2, then Tab.
field() {
  keys End $(printf 'BackSpace %.0s' $(seq "$1"))
  text "$2"
  keys Tab
}

start "$quorvane"

# Chryzode > New with its first values, but Complete and Stored. Tab order:
# OK, Cancel, n, m, r, zoom, From root, Complete, On the fly, Stored.
before=$(region 640 20 0 460)
menu c n
wait_for 10 "the New chryzode dialog" dialog_at 517 387
keys Tab Tab Tab Tab Tab Tab Tab Tab space Tab Tab space Tab space
wait_for 30 "the figure's status line" changed 640 20 0 460

# Zoom > Zoom Out: zoom 2.
before=$(region 640 20 0 460)
menu z o
wait_for 30 "the status line at zoom 1:2" changed 640 20 0 460

# Chryzode > Colors: Tab order OK, Cancel, then the nine fields row by row.
menu c c
wait_for 10 "the Colors dialog" dialog_at 517 387
keys Tab Tab Tab
field 3 0;   field 3 128; field 3 255
field 3 255; field 3 255; field 3 255
field 3 20;  field 3 30;  field 3 40
keys space
wait_for 10 "the Colors dialog to close" no_dialog_at 517 387

# Chryzode > Rerender: the figure in the new colours.
before=$(region 640 400 0 40)
menu c r
wait_for 30 "the figure in its new colours" changed 640 400 0 40

# File > Graphics Mode: Tab to the list (after OK and Cancel), two rows down
# to 800x600 Windowed, Return.
menu f g
wait_for 10 "the Graphics mode dialog" dialog_at 517 387
keys Tab Tab Tab Down Down Return
window_800x600() { xdotool getwindowgeometry "$window" | grep -q 'Geometry: 800x600'; }
wait_for 10 "an 800x600 window" window_800x600
xdotool windowfocus --sync "$window"
xdotool mousemove --sync 790 592
status_bar_800() { [ "$(pixel 760 590)" = FFFFFF ]; }
wait_for 10 "the status bar of the 800x600 window" status_bar_800

# Chryzode > Rerender at 800x600.
before=$(region 800 500 0 40)
menu c r
wait_for 30 "the figure at 800x600" changed 800 500 0 40

# File > Save image as: in the selector (400x300 with its corner at
# (200, 150)) the path over the one it shows, then Tab past the list to OK;
# in the "Save as" dialog (300x150 at (250, 225)) Tab past OK and Cancel to
# the name, typed over ".bmp".
menu f s
wait_for 10 "the directory selector" dialog_at 597 447
keys End
xdotool key --repeat 120 BackSpace
text "$work/"
keys Tab Tab space
wait_for 10 "the Save as dialog" dialog_at 547 372
keys Tab Tab Tab
field 10 e2e.bmp
keys Return
saved() { [ -s "$work/e2e.bmp" ]; }
wait_for 10 "the saved picture" saved
wait_for 10 "the Save as dialog to close" no_dialog_at 547 372

# File > Quit: the program ends on its own, with status 0.
menu f q
wait_for 10 "the program to end" ended
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || fail "exit status $status: $(cat "$work/stderr")"

"$render" -n 2 -m 1499 --complete --stored --zoom 2 --size 800x600 \
  --fg1 0,128,255 --fg2 255,255,255 --bg 20,30,40 -o "$work/expected.bmp"
[ "$(identify -format %wx%h "$work/e2e.bmp")" = 800x600 ] || fail "the saved picture is not 800x600"
[ "$(identify -format %k "$work/expected.bmp")" -gt 1 ] || fail "the expected picture is empty"
differ=$(compare -metric AE "$work/e2e.bmp" "$work/expected.bmp" null: 2>&1) || true
[ "$differ" = 0 ] || fail "the saved picture is not the engine's: $differ pixels differ"
echo "saved picture: 800x600, the engine's"

# Every mode refused after start-up: nothing can be shown any more, and the
# program says so and stops with a failure status.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
start env LD_PRELOAD="$gfx_refusal" QUORVANE_REFUSE_GFX=after-first "$quorvane"
menu f g
wait_for 10 "the Graphics mode dialog" dialog_at 517 387
xdotool key Return
wait_for 10 "the program to stop" ended
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 1 ] || fail "exit status $status after every mode was refused"
grep -q "no 640x480 graphics mode can be set again" "$work/stderr" ||
  fail "no message on standard error: $(cat "$work/stderr")"
echo "PASS"
