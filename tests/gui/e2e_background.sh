#!/usr/bin/env bash
# End to end, with real X input: a long figure shows its progress and Escape
# cancels it; the close button, SIGTERM, SIGINT, SIGHUP and the loss of the X
# display end the program, idle and during the work. Each case runs on an Xvfb
# of its own, which some of them kill.
#   tests/gui/e2e_background.sh QUORVANE SEND_CLOSE_REQUEST
set -euo pipefail
quorvane=$(realpath "$1")
send_close=$2
work=$(mktemp -d)
pid= xvfb_pid=
stop_all() {
  [ -z "$pid" ] || kill -9 "$pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
  pid= xvfb_pid=
}
trap 'stop_all; rm -rf "$work"' EXIT

source "$(dirname "$0")/../e2e_lib.sh"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
shot() { import -window root -crop 640x480+0+0 +repage "$work/$1.png"; }
pixel() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info:; }
# Pixels that differ between two screenshots, within a crop (WxH+X+Y).
differing() { compare -metric AE -extract "$3" "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }
status_bar=640x20+0+460

start_case() {
  stop_all
  rm -f "$work/fifo" && mkfifo "$work/fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/fifo" 2>/dev/null &
  xvfb_pid=$!
  read -r -t 20 display <"$work/fifo"
  export DISPLAY=":$display"
  # An empty directory of its own, to see that nothing is left behind.
  rm -rf "$work/cwd" && mkdir "$work/cwd"
  (cd "$work/cwd" && exec "$quorvane") 2>"$work/stderr" &
  pid=$!
  window=$(timeout 10 xdotool search --sync --name '^Quorvane - a chryzode explorer$' | head -n 1)
  xdotool windowfocus --sync "$window"
  xdotool mousemove --sync 630 472
  bar_drawn() { shot shot && [ "$(pixel 600 470)" != 000000 ]; }
  wait_for 10 "the main window" bar_drawn
  # A first figure (New with the values offered), a quick one.
  shot start
  xdotool key --delay 150 alt+c n
  dialog_open() { shot shot && [ "$(pixel 125 380)" = "$(pixel 600 470)" ]; }
  wait_for 10 "the New chryzode dialog" dialog_open
  xdotool key Return
  figure_shown() { shot figure && [ "$(differing start figure $status_bar)" != 0 ]; }
  wait_for 10 "the first figure" figure_shown
}

# New chryzode, complete, m = 99999; returns once the progress shows.
start_long_figure() {
  xdotool key --delay 150 alt+c n
  wait_for 10 "the New chryzode dialog" dialog_open
  xdotool key Tab Tab Tab Tab End BackSpace BackSpace BackSpace BackSpace BackSpace
  xdotool type --delay 30 99999
  xdotool key Tab Tab Tab Tab space Return
  progress_shown() { shot busy && [ "$(differing figure busy $status_bar)" != 0 ]; }
  wait_for 10 "the progress in the status bar" progress_shown
}

# Waits for the program to end (5 s: only a hang fails); checks its status
# and that it left no file; shows the time it took.
expect_end() {
  local status_wanted=$1 what=$2 start=$3
  while kill -0 "$pid" 2>/dev/null; do
    [ $(($(now_ms) - start)) -lt 5000 ] || fail "$what: still running after 5 s"
    sleep 0.01
  done
  local status=0
  wait "$pid" || status=$?
  echo "$what: ended after $(($(now_ms) - start)) ms with status $status"
  pid=
  [ "$status" = "$status_wanted" ] || fail "$what: status $status, not $status_wanted"
  [ -z "$(ls -A "$work/cwd")" ] || fail "$what: left $(ls -A "$work/cwd")"
}

# Progress, then Escape: the first figure and its status line come back.
start_case
start_long_figure
sleep 0.5
shot busy_later
[ "$(differing busy busy_later $status_bar)" != 0 ] || fail "the progress does not move"
start=$(now_ms)
xdotool key Escape
restored() { shot after && [ "$(differing figure after 640x480+0+0)" = 0 ]; }
wait_for 5 "the first figure back" restored
echo "Escape: first figure back after $(($(now_ms) - start)) ms (screenshots polled)"
# The program still takes commands: File > Quit.
xdotool key --delay 150 alt+f q
expect_end 0 "Quit after a cancel" "$(now_ms)"

start_case
start_long_figure
start=$(now_ms)
"$send_close" "$window"
expect_end 0 "the close button during the work" "$start"

for sig in TERM INT HUP; do
  for state in idle busy; do
    start_case
    [ $state = idle ] || start_long_figure
    start=$(now_ms)
    kill -$sig "$pid"
    expect_end $((128 + $(kill -l $sig))) "SIG$sig while $state" "$start"
  done
done

for state in idle busy; do
  start_case
  [ $state = idle ] || start_long_figure
  start=$(now_ms)
  kill "$xvfb_pid"
  expect_end 1 "the X server killed while $state" "$start"
  [ "$(wc -l <"$work/stderr")" = 1 ] && grep -q "X display" "$work/stderr" ||
    fail "X server killed while $state: said $(cat "$work/stderr")"
done
echo PASS
