# Shell functions shared by the end-to-end scripts (sourced).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Polls every 0.1 s until the command succeeds; fails after $1 seconds.
wait_for() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || fail "waited $seconds s for $what"
    sleep 0.1
  done
}

# Driving the program (its pid in $pid, standard error into $work/stderr).

# A scratch folder in $work, removed at the end, with the program if it
# still runs (Allegro blocks SIGTERM).
scratch_work() {
  work=$(mktemp -d)
  pid=
  trap 'if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -KILL "$pid"; fi; rm -rf "$work"' EXIT
}

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
