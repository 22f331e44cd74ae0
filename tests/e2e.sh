#!/usr/bin/env bash
# The built programs driven with real X input, the pictures checked against
# quorvane-render's; with --ends, the program ended by its close button,
# signals and the loss of the display.
#   tests/with_xvfb.sh bash tests/e2e.sh QUORVANE QUORVANE_RENDER REFUSALS_LIBRARY
#   bash tests/e2e.sh --ends QUORVANE SEND_CLOSE_REQUEST REFUSALS_LIBRARY
set -euo pipefail
work=$(mktemp -d) pid=
# Allegro blocks SIGTERM.
trap 'kill -KILL $pid 2>/dev/null || true; rm -rf "$work"' EXIT
source "$(dirname "$0")/lib.sh"
region() { import -window root -crop "$1x$2+$3+$4" +repage rgb:- | md5sum; }
# Changed and settled: a long computation redraws its progress meanwhile.
changed() { local now; now=$(region "$@"); [ "$now" != "$before" ] && sleep 0.5 && [ "$(region "$@")" = "$now" ]; }
# A dialog (white inside) is open when the 200 pixels left of its bottom-right corner are white.
dialog_at() { [ "$(import -window root -crop "200x1+$(($1 - 199))+$2" +repage -depth 8 -format '%k %[hex:p{0,0}]' info:)" = "1 FFFFFF" ]; }
status_bar() { [ "$(import -window root -crop 1x1+600+470 -depth 8 -format '%[hex:p{0,0}]' info:)" = FFFFFF ]; }
start() {
  "$@" 2>"$work/stderr" &
  pid=$!
  window=$(xdotool search --sync --name '^Quorvane - a chryzode explorer$' | head -n 1)
  xdotool windowfocus --sync "$window" mousemove --sync 630 472   # the pointer away from the dialogs
  wait_for 10 "the main window" status_bar
}
finish() {   # EXIT_STATUS
  wait_for 10 "the program to end" eval '! kill -0 "$pid" 2>/dev/null'
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" = "$1" ] || fail "exit status $status: $(cat "$work/stderr")"
}
menu() { xdotool key --delay 150 "alt+$1" "$2"; }
keys() { xdotool key --delay 20 "$@"; }
text() { xdotool type --delay 20 "$1"; }
field() { keys End $(printf 'BackSpace %.0s' $(seq "$1")); text "$2"; keys Tab; }   # CHARS TEXT
new_dialog() { before=$(region 640 20 0 460); menu c n; wait_for 10 "the New dialog" dialog_at 517 387; }
to_save_as() {   # DIRECTORY: typed over the selector's
  menu f s; wait_for 10 "the directory selector" dialog_at 517 387
  keys End; xdotool key --repeat 120 --delay 2 BackSpace; text "$1"; keys Tab Tab space
  wait_for 10 "the Save as dialog" dialog_at 467 312
}

if [ "$1" = --ends ]; then   # each case on an X server of its own, which some kill
  for c in "busy close 0" "dialog close 0" "menu close 0" "idle save 143" "idle TERM 143" "idle INT 130" "idle HUP 129" \
           "idle QUIT 131" "idle X 1" "busy TERM 143" "busy INT 130" "busy HUP 129" "busy QUIT 131" "busy X 1"; do
    "$(dirname "$0")/with_xvfb.sh" bash "$0" --case "$(realpath "$2")" "$3" "$(realpath "$4")" $c || exit 1
  done
  echo PASS && exit 0
fi
if [ "$1" = --case ]; then   # QUORVANE SEND_CLOSE_REQUEST REFUSALS idle|busy|dialog|menu close|save|SIGNAL|X EXIT_STATUS
  mkdir "$work/cwd" && cd "$work/cwd" && start env LD_PRELOAD="$4" QUORVANE_SLOW_WRITES=1 "$2"
  if [ "$5" = busy ]; then   # m = 99999, complete, on the fly: under way once its progress shows
    new_dialog
    keys Tab Tab Tab Tab; field 5 99999; keys Tab Tab Tab space Return
    wait_for 10 "the progress" eval '[ "$(region 640 20 0 460)" != "$before" ]'
  fi
  [ "$5" != dialog ] || new_dialog   # modal: its own loop, which never sees the main window's flag
  [ "$5" != menu ] || { before=$(region 100 40 0 20); keys alt+f; wait_for 10 "the File menu" changed 100 40 0 20; }
  case $6 in
    close) "$3" "$window" ;;
    save)   # while the picture is written
      new_dialog; keys Return; wait_for 30 "the figure" changed 640 20 0 460
      to_save_as "$work/cwd/"; keys s Return
      wait_for 10 "the picture under way" eval '[ -n "$(ls -A "$work/cwd")" ]'
      kill -TERM "$pid" ;;
    X) kill "$XVFB_PID" ;;
    *) kill "-$6" "$pid" ;;
  esac
  finish "$7"
  [ -z "$(ls -A "$work/cwd")" ] || fail "$5 $6: left $(ls -A "$work/cwd")"
  [ "$6" != X ] || { [ "$(wc -l <"$work/stderr")" = 1 ] && grep -q "X display" "$work/stderr"; } || fail "$(cat "$work/stderr")"
  exit 0
fi

quorvane=$1 render=$2 refusals=$3
if QUORVANE_REFUSE_GFX=all LD_PRELOAD=$refusals timeout 20 "$quorvane" 2>"$work/stderr"; then fail "ran without a mode"; fi
grep -q "no 640x480 window or screen mode can be opened" "$work/stderr" || fail "$(cat "$work/stderr")"

# New (Tab order: OK, Cancel, n, m, r, zoom, From root, Complete, On the fly,
# Stored), Save.
start "$quorvane"
new_dialog
keys Tab Tab Tab; field 5 3; field 5 1201; keys Tab; field 5 2; keys Tab space Tab Tab space Return
wait_for 30 "the figure" changed 640 20 0 460
# The name field, focused under the pointer, types before ".bmp".
to_save_as "$work/"
keys Tab; xdotool mousemove --sync 380 223; text e2e; xdotool mousemove --sync 630 472; keys Return
wait_for 10 "the saved picture" eval '[ -s "$work/e2e.bmp" ]'
wait_for 10 "the Save as dialog to close" eval '! dialog_at 467 312'
menu f q
finish 0
"$render" -n 3 -m 1201 --complete --stored --zoom 2 -o "$work/expected.bmp"
differ=$(compare -metric AE "$work/e2e.bmp" "$work/expected.bmp" null: 2>&1) || true
[ "$differ" = 0 ] || fail "the saved picture is not quorvane-render's: $differ pixels differ"

# The mouse and the keys move about the figure. Each view is saved as PNG
# and read back from its settings: the point under the pointer stays put
# as the wheel magnifies, and quorvane-render draws the saved picture again
# from them alone.
save_png() {   # NAME
  xdotool mousemove 630 472; to_save_as "$work/"; keys End; xdotool key --repeat 70 --delay 2 BackSpace; text "$1"; keys Return
  wait_for 10 "$1" test -s "$work/$1"
  wait_for 10 "the Save as dialog to close" eval '! dialog_at 467 312'
  "$render" --settings "$work/$1" -o "$work/again.png"
  differ=$(compare -metric AE "$work/$1" "$work/again.png" null: 2>&1) || true
  [ "$differ" = 0 ] || fail "$1 is not what its settings draw: $differ pixels differ"
  local settings
  settings=$("$render" --settings "$work/$1" --print-settings)
  magnify=$(sed -n 's/^magnify = //p' <<<"$settings")
  read -r cx cy <<<"$(sed -n 's/^center = \[\(.*\), \(.*\)\]/\1 \2/p' <<<"$settings")"
}
near() { awk -v a="$1" -v b="$2" 'BEGIN { exit !((a - b) ^ 2 < (1 / 480) ^ 2) }'; }   # within a pixel at x1
start "$quorvane"
new_dialog; keys Return
wait_for 30 "the figure" changed 640 20 0 460
before=$(region 640 400 0 30)
xdotool mousemove --sync 200 150 click 4   # a notch of the wheel up, over (-0.5, -0.375)
wait_for 30 "the magnified figure" changed 640 400 0 30
save_png wheel.png
[ "$magnify" = 1.25 ] || fail "the wheel magnified to $magnify"
near "$(awk -v c="$cx" -v s="$magnify" 'BEGIN { print c - 120 * 2 / (480 * s) }')" -0.5 &&
  near "$(awk -v c="$cy" -v s="$magnify" 'BEGIN { print c - 90 * 2 / (480 * s) }')" -0.375 ||
  fail "the point under the pointer moved: x$magnify at ($cx, $cy)"
wheel_cx=$cx wheel_cy=$cy
before=$(region 640 400 0 30)
xdotool mousemove --sync 300 200 mousedown 1; sleep 0.2
for step in 10 20 30 40; do xdotool mousemove --sync $((300 + step)) $((200 + step * 3 / 4)); sleep 0.1; done
sleep 0.2; xdotool mouseup 1
wait_for 30 "the panned figure" changed 640 400 0 30
save_png drag.png
near "$cx" "$(awk -v c="$wheel_cx" 'BEGIN { print c - 40 * 2 / (480 * 1.25) }')" &&
  near "$cy" "$(awk -v c="$wheel_cy" 'BEGIN { print c - 30 * 2 / (480 * 1.25) }')" || fail "the drag moved to ($cx, $cy)"
before=$(region 640 400 0 30)
xdotool keydown ctrl mousemove --sync 200 150 mousedown 1; sleep 0.2
for step in 40 80 120 160; do xdotool mousemove --sync $((200 + step)) $((150 + step * 3 / 4)); sleep 0.1; done
sleep 0.2; xdotool mouseup 1 keyup ctrl
wait_for 30 "the framed figure" changed 640 400 0 30
save_png frame.png
[ "$magnify" = 5 ] || fail "the rectangle magnified to $magnify"
keys BackSpace; sleep 1
save_png back.png
[ "$magnify" = 1.25 ] || fail "Backspace went back to x$magnify"
keys Home; sleep 1
save_png home.png
[ "$magnify $cx $cy" = "1 0 0" ] || fail "Home went to x$magnify at ($cx, $cy)"
menu f q
finish 0

# No mode can be set again after a refused change.
start env LD_PRELOAD="$refusals" QUORVANE_REFUSE_GFX=after-first "$quorvane"
menu f g
wait_for 10 "the Graphics mode dialog" dialog_at 517 387
keys Return
finish 1
grep -q "no 640x480 graphics mode can be set again" "$work/stderr" || fail "$(cat "$work/stderr")"

echo PASS
