# Debian packages the build and the tests need, and a helper that installs
# the missing ones (run as root).
build_packages=(build-essential cmake pkg-config liballegro4-dev libhwy-dev libpng-dev libtomlplusplus-dev)
test_packages=(libgtest-dev xvfb xdotool imagemagick x11-utils libloadpng4-dev)
# The renderer's man page; the install and package checks and the README's pictures.
build_packages+=(help2man)
test_packages+=(desktop-file-utils man-db dpkg-dev gnuplot-nox)
# Films and the split of a film across processes.
test_packages+=(ffmpeg parallel)

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}
