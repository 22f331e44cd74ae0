#!/usr/bin/env bash
# End to end: File > Save image as in the built program, driven with real X
# input. A name typed at once, or under the pointer, comes before ".bmp"; a
# link is followed; a private file stays private; a .png name gives the
# picture quorvane-render draws; an unknown extension writes nothing, in an
# alert that fits the screen.
#   tests/with_xvfb.sh tests/commands/e2e_save.sh QUORVANE QUORVANE_RENDER
set -euo pipefail
quorvane=$1
render=$2
source "$(dirname "$0")/../e2e_lib.sh"
scratch_work

dir=$work/pictures
long=$dir/$(printf 'd%.0s' $(seq 120))
mkdir -p "$dir" "$long"

# White pixels of the screen in a rectangle W H X Y.
white() { import -window root -crop "$1x$2+$3+$4" +repage -depth 8 txt:- | grep -c FFFFFF || true; }
# An alert: a white box across the middle, wider than the selector.
alert_shown() { [ "$(white 640 1 0 240)" -gt 450 ]; }

start "$quorvane"
before=$(region 640 20 0 460)
menu c n
wait_for 10 "the New chryzode dialog" dialog_at 517 387
keys Return
wait_for 30 "the figure's status line" changed 640 20 0 460

# File > Save image as: the directory $1 typed in the selector, then the
# "Save as" dialog (300x150 at (170, 165)), its name field focused.
open_save_as() {
  menu f s
  wait_for 10 "the directory selector" dialog_at 517 387
  keys End
  xdotool key --repeat 200 --delay 2 BackSpace
  text "$1/"
  keys Tab Tab space
  wait_for 10 "the Save as dialog" dialog_at 467 312
}
# Saves into $1 under the name $2, typed over the field's text.
save_as() {
  open_save_as "$1"
  keys End
  xdotool key --repeat 70 --delay 2 BackSpace
  text "$2"
  keys Return
  wait_for 10 "the Save as dialog to close" no_dialog_at 467 312
}

# Typed at once: "fig" before ".bmp".
open_save_as "$dir"
text fig
keys Return
wait_for 10 "fig.bmp" test -s "$dir/fig.bmp"
wait_for 10 "the Save as dialog to close" no_dialog_at 467 312

# Focus taken under the pointer: "2" before ".bmp" of the name kept, fig.bmp.
open_save_as "$dir"
keys Tab
xdotool mousemove --sync 380 223
text 2
xdotool mousemove --sync 630 472
keys Return
wait_for 10 "fig2.bmp" test -s "$dir/fig2.bmp"

# Over a link and over a private file.
echo old >"$dir/real.bmp"
ln -s real.bmp "$dir/link.bmp"
echo old >"$dir/private.bmp"
chmod 600 "$dir/private.bmp"
save_as "$dir" link.bmp
save_as "$dir" private.bmp
wait_for 10 "the picture through the link" cmp -s "$dir/real.bmp" "$dir/fig.bmp"
[ -L "$dir/link.bmp" ] || fail "the link was replaced"
wait_for 10 "the picture over the private file" cmp -s "$dir/private.bmp" "$dir/fig.bmp"
[ "$(stat -c %a "$dir/private.bmp")" = 600 ] || fail "private.bmp is now $(stat -c %a "$dir/private.bmp")"

# A PNG, the same picture as quorvane-render's.
save_as "$dir" pic.PNG
"$render" -o "$work/expected.png"
wait_for 10 "pic.PNG" test -s "$dir/pic.PNG"
[ "$(identify -format %m "$dir/pic.PNG")" = PNG ] || fail "pic.PNG is no PNG"
differ=$(compare -metric AE "$dir/pic.PNG" "$work/expected.png" null: 2>&1) || true
[ "$differ" = 0 ] || fail "pic.PNG is not quorvane-render's picture: $differ pixels differ"

# An unknown extension in a directory too long for the screen: an alert
# within the screen, and no file.
open_save_as "$long"
keys End
xdotool key --repeat 70 --delay 2 BackSpace
text pic.jpg
keys Return
wait_for 10 "the alert" alert_shown
[ "$(white 1 480 0 0)" = 0 ] && [ "$(white 1 480 639 0)" = 0 ] || fail "the alert is wider than the screen"
keys Return
wait_for 10 "the alert to close" eval '! alert_shown'
[ -z "$(ls -A "$long")" ] || fail "files after a refused extension: $(ls -A "$long")"
[ "$(ls -A "$dir" | grep -c '^\.')" = 0 ] || fail "temporary files left: $(ls -A "$dir")"

menu f q
wait_for 10 "the program to end" ended
echo PASS
