#!/usr/bin/env bash
# The program on a display that refuses every screen mode: it says so and
# stops with a non-zero status, without running on nothing.
#   tests/with_xvfb.sh tests/gui/start_up_refusal.sh QUORVANE NO_SCREEN_MODE_LIBRARY
set -uo pipefail
# The sanitizers' run-time library is loaded first all the same.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
output=$(LD_PRELOAD=$2 timeout 20 "$1" 2>&1)
status=$?
echo "$output"
[ "$status" != 0 ] && [ "$status" != 124 ] || { echo "FAIL: exit status $status"; exit 1; }
grep -q "no 640x480 window or screen mode can be opened" <<<"$output" || { echo "FAIL: no message"; exit 1; }
echo PASS
