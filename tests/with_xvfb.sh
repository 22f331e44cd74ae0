#!/usr/bin/env bash
# Runs a command on a private Xvfb display of its own (its process XVFB_PID),
# so that GUI tests can run side by side without seeing each other's windows.
#   tests/with_xvfb.sh COMMAND [ARGS...]
set -euo pipefail
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
export XVFB_PID=$!
trap 'kill $XVFB_PID 2>/dev/null && wait $XVFB_PID; rm -f "$fifo"' EXIT
read -r -t 20 display <"$fifo"
export DISPLAY=":$display"
"$@"
