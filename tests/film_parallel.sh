#!/usr/bin/env bash
# scripts/film-parallel.sh on this machine alone: parallel runs the parts as
# separate renderers, and the frames are byte for byte those of one run.
#   bash tests/film_parallel.sh RENDERER
set -euo pipefail
render=$1
script=$(realpath "$(dirname "$0")/../scripts/film-parallel.sh")
command -v parallel >/dev/null || { echo "no GNU parallel: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Decimal n downward, named by number; whole n from a root, named by n.
for run in "2.5:2:-0.05 %03d.png -m 301 --complete" "3:12:2 n%d.bmp -m 97 -r 2"; do
  read -r range pattern options <<<"$run"
  rm -rf one split && mkdir one split
  # $options is split into words on purpose.
  "$render" --quiet $options --size 64x48 --frames "$range" -o "one/$pattern"
  QUORVANE_RENDER=$render bash "$script" -j 3 "$range" "split/$pattern" $options --size 64x48 >/dev/null
  diff -r one split
  [ -z "$(ls -A . | grep -v '^one$\|^split$')" ]
done
echo "parts joined, the same frames"
