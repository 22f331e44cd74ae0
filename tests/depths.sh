#!/usr/bin/env bash
# The program on X displays of 8, 15, 16 and 24 bits, driven with real X
# input: its menus legible, and pictures saved (Ctrl+N, Return, Ctrl+S, into
# a directory whose name holds a dot) at 640x480 and, after Graphics Mode,
# at 800x600, equal to quorvane-render's. Without a display, --version and
# --help answer.
#   bash tests/depths.sh QUORVANE QUORVANE_RENDER
set -euo pipefail
quorvane=$1 render=$2
work=$(mktemp -d) pid= xvfb=
trap 'kill -KILL $pid $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
source "$(dirname "$0")/lib.sh"
shot() { local crop=$1; shift; import -window "$window" -crop "$crop" +repage -depth 8 "$@"; }
# The 200 pixels left of a dialog's bottom-right corner are white.
dialog_at() { [ "$(shot "200x1+$(($1 - 199))+$2" -format '%k %[hex:p{0,0}]' info:)" = "1 FFFFFF" ]; }
status_line() { shot "600x20+0+$(($1 - 20))" rgb:- | md5sum; }   # SCREEN_HEIGHT: its text
keys() { xdotool key --delay 150 "$@"; }
save() {   # NAME WIDTH HEIGHT: Ctrl+S into v1.2, compared with quorvane-render's picture
  local name=$1 differ
  keys ctrl+s
  wait_for 10 "the directory selector" dialog_at $(($2 / 2 + 197)) $(($3 / 2 + 147))
  keys End; xdotool key --repeat 120 --delay 2 BackSpace; xdotool type --delay 20 "$work/v1.2"; keys Tab Tab space
  wait_for 10 "the Save as dialog" dialog_at $(($2 / 2 + 147)) $(($3 / 2 + 72))
  keys End; xdotool key --repeat 20 --delay 2 BackSpace; xdotool type --delay 20 "$name.bmp"; keys Return
  wait_for 10 "$name.bmp" eval '[ -s "$work/v1.2/$name.bmp" ]'
  [ -s "$work/$2.bmp" ] || "$render" --size "$2x$3" -o "$work/$2.bmp"   # the New dialog's first figure
  differ=$(compare -metric AE "$work/v1.2/$1.bmp" "$work/$2.bmp" null: 2>&1) || true
  [ "$differ" = 0 ] || fail "$depth bits: the $2x$3 picture is not quorvane-render's: $differ pixels differ"
}

[ "$(env -u DISPLAY "$quorvane" --version)" = "quorvane $(env -u DISPLAY "$render" --version | cut -d' ' -f2)" ] ||
  fail "--version: $(env -u DISPLAY "$quorvane" --version 2>&1)"
env -u DISPLAY "$quorvane" --help | grep -q "Ctrl+S.*Save image as" || fail "--help: $(env -u DISPLAY "$quorvane" --help 2>&1)"

mkdir "$work/v1.2"
for depth in 8 15 16 24; do
  context="$depth bits: "
  mkfifo "$work/fifo"
  Xvfb -displayfd 3 -screen 0 "1280x1024x$depth" -pixdepths 1 4 8 15 16 24 32 -nolisten tcp 3>"$work/fifo" 2>/dev/null &
  xvfb=$!
  read -r -t 20 display <"$work/fifo"
  rm "$work/fifo"
  export DISPLAY=":$display"
  "$quorvane" 2>"$work/stderr" &
  pid=$!
  window=$(xdotool search --sync --name '^Quorvane - a chryzode explorer$' | head -n 1)
  xdotool windowfocus --sync "$window" mousemove --sync 630 300
  # The Chryzode menu: light, with dark text.
  keys alt+c
  wait_for 10 "the Chryzode menu" eval '[ "$(shot 150x40+60+20 -format "%[fx:mean>0.5 && minima<0.1]" info:)" = 1 ]'
  keys Escape Escape
  before=$(status_line 480)
  keys ctrl+n
  wait_for 10 "the New dialog" dialog_at 517 387
  keys Return
  wait_for 30 "the figure" eval '[ "$(status_line 480)" != "$before" ]'
  shown=$(status_line 480)
  save "$depth-640" 640 480
  # Graphics Mode: its list, third row (800x600 Windowed); the figure drawn again.
  keys alt+f g
  wait_for 10 "the Graphics Mode dialog" dialog_at 517 387
  keys Tab Tab Tab Home Down Down Return
  wait_for 30 "the figure at 800x600" eval '[ "$(status_line 600)" = "$shown" ]'
  save "$depth-800" 800 600
  keys ctrl+q
  wait_for 10 "the program to end" eval '! kill -0 "$pid" 2>/dev/null'
  wait "$pid" || fail "$depth bits: exit status $?: $(cat "$work/stderr")"
  kill "$xvfb" && wait "$xvfb" || true
  pid= xvfb=
done
echo PASS
