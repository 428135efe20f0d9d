#!/usr/bin/env bash
# Builds the Windows edition with Debian's mingw-w64 toolchain:
#   build-windows/tessel.exe                 the program (no DLL needed)
#   build-windows/tesselw.exe                the same without a console window
#   build-windows/tessel-VERSION-setup.exe   the installer (NSIS)
#   build-windows/tessel-VERSION-windows.zip the same files, for those who do not install
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-windows

scripts/install-deps.sh --windows
FREETYPE_CC=x86_64-w64-mingw32-gcc-posix FREETYPE_AR=x86_64-w64-mingw32-ar \
  scripts/build-web-freetype.sh "$out"
if [ ! -e "$out/app/build.ninja" ]; then
  cmake -S windows -B "$out/app" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" -DFREETYPE_ROOT="$PWD/$out/freetype/install"
fi
nice cmake --build "$out/app" -j "${JOBS:-2}"
cp "$out/app/tessel.exe" "$out/app/tesselw.exe" "$out/"

# The installed layout: the programs, the examples, the documentation (text
# files with Windows line ends, so Notepad shows them too).
version=$(sed -n 's/.*kVersion\[\] = "\([^"]*\)".*/\1/p' src/host/version.h)
stage="$out/stage/tessel-$version"
rm -rf "$out/stage" && mkdir -p "$stage/docs" "$stage/examples"
cp "$out/tessel.exe" "$out/tesselw.exe" "$stage/"
crlf() { sed 's/\r*$/\r/' "$1" > "$2"; }
crlf README.md "$stage/README.txt"
for doc in guide.md reference.md; do crlf "docs/$doc" "$stage/docs/$doc"; done
cp -r docs/images "$stage/docs/" 2>/dev/null || true
crlf dist/copyright "$stage/docs/copyright.txt"
cp examples/* "$stage/examples/"

(cd "$out/stage" && rm -f "../tessel-$version-windows.zip" &&
  cmake -E tar cf "../tessel-$version-windows.zip" --format=zip "tessel-$version")
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DOUTFILE="$PWD/$out/tessel-$version-setup.exe" \
  windows/installer.nsi
echo "built $out/tessel.exe, $out/tessel-$version-setup.exe and $out/tessel-$version-windows.zip"
