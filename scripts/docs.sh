#!/usr/bin/env bash
# Regenerates the README's pictures from the built programs: the window with
# its first figure, the animation, the gallery and the speed plot.
#   bash scripts/docs.sh [--quick] [FOLDER]   (docs/ by default)
# The benchmark takes minutes and wants an idle machine; --quick plots the
# table it last recorded (docs/bench.txt) instead of running it again.
set -euo pipefail
if [ "${1:-}" = --window ]; then
  mode=window
  out=$2
else
  mode=all
  if [ "${1:-}" = --quick ]; then mode=quick; shift; fi
  # A folder given is taken from where the script was started.
  out=$(realpath -m -- "${1:-$(dirname "$0")/../docs}")
fi
cd "$(dirname "$0")/.."
source scripts/packages.sh

fail() {
  echo "docs.sh: $*" >&2
  exit 1
}

# Tries the command every 0.1 s, for $1 seconds at the most.
poll() {
  local seconds=$1 what=$2 deadline=$((SECONDS + $1))
  shift 2
  until "$@"; do
    ((SECONDS < deadline)) || fail "waited $seconds s for $what"
    sleep 0.1
  done
}

render=$PWD/build/src/render/quorvane-render
quorvane=$PWD/build/src/gui/quorvane

# The gallery: each picture's name and the renderer's arguments. The README
# shows every picture beside its command, as written here.
gallery=(
  "cardioid|-n 2 -m 400 --complete"
  "nephroid|-n 3 -m 1499 --complete"
  "orbit|-n 3 -m 3001 -r 1"
  "zoomed-out|-n 4 -m 2000 --complete --stored --zoom 3"
  "colours|-n 5 -m 2000 --complete --fg1 0,40,160 --fg2 200,255,255 --bg 255,255,255"
  "cusps|-n 34 -m 3001 --complete"
  "dense-orbit|-n 7 -m 99999 -r 1"
  "dense|-n 2 -m 99999 --complete"
  "density-sqrt|-n 5 -m 5000 --complete --size 320x240"
  "density-log|-n 5 -m 5000 --complete --size 320x240 --scale log --palette magma"
  "density-eq-hist|-n 5 -m 5000 --complete --size 320x240 --scale eq_hist --palette viridis"
)

# The animation at the top of the README: n from 2 to 3 in m = 1499,
# complete, made by the renderer's film output as the README shows. A GIF
# of these dense pictures takes about 33 KB a frame at this size.
animation="-m 1499 --complete --frames 2:3:0.025 --fps 10 --size 320x240"

draw_animation() {
  local file=$1/animation.gif
  grep -qF "\`quorvane-render $animation -o animation.gif\`" README.md ||
    fail "README.md does not show the command: quorvane-render $animation -o animation.gif"
  # $animation is split into words on purpose: it is the command line as shown.
  "$render" $animation --quiet -o "$file"
  [ "$(identify -format '%w\n' "$file" | head -n 1)" -le 480 ] || fail "$file is wider than 480 pixels"
  [ "$(stat -c %s "$file")" -le 1572864 ] || fail "$file takes more than 1.5 MB"
}

draw_gallery() {
  local entry name args command
  mkdir -p "$1/gallery"
  for entry in "${gallery[@]}"; do
    name=${entry%%|*}
    args=${entry#*|}
    command="quorvane-render $args -o $name.png"
    grep -qF "\`$command\`" README.md || fail "README.md does not show the command: $command"
    # $args is split into words on purpose: it is the command line as shown.
    (cd "$1/gallery" && "$render" $args --quiet -o "$name.png")
  done
}

# The window as a user sees it after Chryzode > New with the values offered,
# taken on the X display in DISPLAY. The pointer stays off the window: Allegro
# draws its own into the picture.
shoot_window() {
  local file=$1 work
  work=$(mktemp -d)
  "$render" --quiet -o "$work/first.bmp"
  "$quorvane" &
  local pid=$!
  local window
  window=$(xdotool search --sync --name '^Quorvane - a chryzode explorer$' | head -n 1)
  xdotool windowfocus --sync "$window" mousemove --sync 1000 900
  shot() { import -window root -crop 640x480+0+0 +repage "$work/shot.png"; }
  pixel() { convert "$work/shot.png" -format "%[hex:p{$1,$2}]" info:; }
  status_bar_shown() { shot && [ "$(pixel 600 470)" != 000000 ]; }
  dialog_open() { shot && [ "$(pixel 125 380)" = "$(pixel 600 470)" ]; }
  figure_shown() {
    status_bar_shown &&
      [ "$(compare -metric AE "$work/shot.png[640x440+0+20]" "$work/first.bmp[640x440+0+20]" null: 2>&1)" = 0 ]
  }
  poll 10 "the main window" status_bar_shown
  xdotool key --delay 150 alt+c n
  poll 10 "the New chryzode dialog" dialog_open
  xdotool key Return
  poll 30 "the first figure" figure_shown
  cp "$work/shot.png" "$file"
  xdotool key --delay 150 alt+f q
  wait "$pid"
  rm -rf "$work"
}

# Pairs per second against m, plain and fast loops, from the benchmark's
# output: the plain loops from its main table (complete, on the fly,
# 640x480), the fast ones from its growth table.
plot_speed() {
  local bench=$1 file=$2 work
  work=$(mktemp -d)
  awk 'substr($0, 1, 22) ~ /^complete, on the fly/ && $6 == "640x480" { print $5, $8 }' "$bench" >"$work/plain"
  awk '/^Growth of the fast path/ { growth = 1; next } growth && $1 ~ /^[0-9]+$/ { print $1, $4 }' "$bench" >"$work/fast"
  [ -s "$work/plain" ] && [ -s "$work/fast" ] || fail "$bench holds no benchmark tables"
  local machine fast_path
  machine=$(sed -n '1s/^Machine: //p' "$bench")
  fast_path=$(sed -n 's/^Fast path: \([^;]*\).*/\1/p' "$bench")
  gnuplot <<EOF
set terminal pngcairo size 640,400 font "sans,10"
set output "$file"
set termoption noenhanced
set title "Complete chryzode, n = 2, 640x480, on the fly\n$machine\nfast loops: $fast_path"
set logscale xy
set xlabel "m (points on the circle)"
set ylabel "pairs of chords per second"
set key bottom right
set xrange [1000:200000]
set grid
plot "$work/plain" using 1:2 with linespoints title "plain loops", \
     "$work/fast" using 1:2 with linespoints title "fast loops"
EOF
  rm -rf "$work"
}

if [ "$mode" = window ]; then
  shoot_window "$out"
  exit
fi
install_missing "${build_packages[@]}" "${test_packages[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorvane quorvane-render chryzode_bench >/dev/null
mkdir -p "$out"
bash tests/with_xvfb.sh bash "$PWD/scripts/docs.sh" --window "$out/window.png"
draw_animation "$out"
draw_gallery "$out"
bench=docs/bench.txt
if [ "$mode" = all ]; then
  bench=$out/bench.txt
  {
    echo "Machine: $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores, $(uname -sr)"
    build/bench/chryzode_bench
  } >"$bench.new"
  mv "$bench.new" "$bench"
fi
plot_speed "$bench" "$out/speed.png"
for picture in "$out"/*.png "$out"/gallery/*.png; do
  [ "$(identify -format %w "$picture")" -le 640 ] || fail "$picture is wider than 640 pixels"
done
# The animation has its own limit.
kilobytes=$(du -sk --exclude=animation.gif "$out" | cut -f1)
[ "$kilobytes" -lt 3072 ] || fail "$out takes $kilobytes KB, more than 3 MB"
echo "Pictures in $out: $kilobytes KB"
