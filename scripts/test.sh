#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   bash scripts/test.sh             optimised build in build/
#   bash scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
#   bash scripts/test.sh --threads   ThreadSanitizer build in build-tsan/: the window's tests, whose threads meet
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_missing "${build_packages[@]}" "${test_packages[@]}"

build_dir=build
options=()
if [ "${1:-}" = --sanitize ]; then
  build_dir=build-sanitize
  options=(-DQUORVANE_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
tests=()
if [ "${1:-}" = --threads ]; then
  build_dir=build-tsan
  options=(-DQUORVANE_TSAN=ON)
  tests=(-R '^(gui|shell)\.')
  export TSAN_OPTIONS=halt_on_error=1:abort_on_error=1:second_deadlock_stack=1
fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
cmake --build "$build_dir" -j"$(nproc)"

# Each GUI test starts a private Xvfb of its own (tests/with_xvfb.sh).
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)" "${tests[@]}"
