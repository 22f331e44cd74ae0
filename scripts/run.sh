#!/usr/bin/env bash
# Installs what is missing, builds the program into build/ and starts it.
#   bash scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  echo "Quorvane opens a window and needs an X display, but DISPLAY is not set; without one, run: xvfb-run -s '-screen 0 1280x1024x24' bash scripts/run.sh" >&2
  exit 1
fi

source scripts/packages.sh
if [ "$(id -u)" != 0 ]; then
  # Packages are installed as root.
  apt-get() { sudo env DEBIAN_FRONTEND="${DEBIAN_FRONTEND:-}" apt-get "$@"; }
fi
install_missing "${build_packages[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target quorvane
exec build/src/gui/quorvane
