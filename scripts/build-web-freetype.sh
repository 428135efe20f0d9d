#!/usr/bin/env bash
# Builds FreeType for the web edition from Debian's source package (the same
# release and patches as the library the native build links), once: the
# result stays in BUILD_DIR/freetype/install until that folder is removed.
#   scripts/build-web-freetype.sh BUILD_DIR
set -euo pipefail

build_dir=$(realpath -m "${1:?usage: build-web-freetype.sh BUILD_DIR}")
root="$build_dir/freetype"
install="$root/install"
[ -e "$install/lib/libfreetype.a" ] && exit 0

mkdir -p "$root"
cd "$root"
if ! ls freetype_*+dfsg.orig.tar.xz >/dev/null 2>&1; then
  apt-get source --download-only freetype
fi
rm -rf src && mkdir src
tar -xf freetype_*+dfsg.orig.tar.xz -C src --strip-components=1
tar -xf freetype_*.debian.tar.xz -C src
while read -r patch; do
  case "$patch" in ''|'#'*) continue ;; esac
  # Patches to the documentation (not unpacked here) are left out.
  if patch -d src -p1 -s -f --dry-run < "src/debian/patches/$patch" >/dev/null 2>&1; then
    patch -d src -p1 -s -f < "src/debian/patches/$patch"
  fi
done < src/debian/patches/series

export NODE_PATH=/usr/share/nodejs
emcmake cmake -S src -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$install" -DBUILD_SHARED_LIBS=OFF \
  -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
nice cmake --build build -j 2
cmake --install build >/dev/null
