#!/usr/bin/env bash
# Checks what a user gets from the built tree in build/: the installed files
# (into a scratch DESTDIR), the Debian package, and the README's pictures
# (drawn again into a scratch folder).
#   bash scripts/ci_install_check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_missing "${build_packages[@]}" "${test_packages[@]}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$scratch/root" cmake --install build --prefix /usr/local >/dev/null
installed="$scratch/root/usr/local"
figure=(-n 3 -m 500 --complete --zoom 2 --size 200x150 --quiet)
"$installed/bin/quorvane-render" "${figure[@]}" -o "$scratch/installed.bmp"
build/src/render/quorvane-render "${figure[@]}" -o "$scratch/built.bmp"
cmp "$scratch/installed.bmp" "$scratch/built.bmp" || fail "the installed renderer draws another picture"
# Education and Graphics are both main categories, on purpose: no hints.
validation=$(desktop-file-validate --no-hints "$installed/share/applications/quorvane.desktop" 2>&1) &&
  [ -z "$validation" ] || fail "desktop entry: $validation"
for page in quorvane quorvane-render; do
  man -l "$installed/share/man/man1/$page.1.gz" 2>&1 | grep -q "^SYNOPSIS" || fail "man page $page(1) does not render"
done
for size in 16 48 256; do
  [ -s "$installed/share/icons/hicolor/${size}x$size/apps/quorvane.png" ] || fail "no $size-pixel icon"
done

rm -f build/quorvane_*.deb
(cd build && cpack -G DEB) >"$scratch/cpack.log" 2>&1 || { cat "$scratch/cpack.log"; fail "no package"; }
deb=$(ls build/quorvane_*_amd64.deb)
depends=$(dpkg-deb --info "$deb" | sed -n 's/^ Depends: //p')
echo "$depends" | grep -q "liballegro" || fail "$deb depends on no Allegro: '$depends'"
dpkg-deb --extract "$deb" "$scratch/deb"
version=$("$scratch/deb/usr/bin/quorvane-render" --version)
[[ $deb == *"_${version#quorvane-render }_"* ]] || fail "$deb holds $version"
echo "$deb: $(stat -c %s "$deb") bytes; Depends: $depends"
bash scripts/docs.sh --quick "$scratch/docs"
echo "PASS"
