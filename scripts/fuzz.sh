#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for a fixed time.
#   bash scripts/fuzz.sh [SECONDS]   (60 by default)
# Inputs the fuzzer finds go to a scratch copy; the seed corpus in
# tests/fuzz/corpus stays as committed. A crash leaves its input in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_missing "${build_packages[@]}" clang libclang-rt-14-dev

seconds=${1:-60}
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_FUZZ=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzz_engine fuzz_fields

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in engine fields; do
  cp -r "tests/fuzz/corpus/$target" "$scratch/$target"
  (cd build-fuzz && "./tests/fuzz_$target" -max_total_time="$seconds" -timeout=20 \
      -rss_limit_mb=4096 -print_final_stats=1 "$scratch/$target")
done
