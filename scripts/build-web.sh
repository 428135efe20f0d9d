#!/usr/bin/env bash
# Builds the web edition, build-web/tessel.html: one page that carries the
# interpreter, its fonts and the bundled examples.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-web

scripts/install-web-deps.sh
scripts/build-web-freetype.sh "$out"
# Emscripten's JS optimizer loads acorn from Debian's node module folder.
export NODE_PATH=/usr/share/nodejs
if [ ! -e "$out/app/build.ninja" ]; then
  emcmake cmake -S web -B "$out/app" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DFREETYPE_ROOT="$PWD/$out/freetype/install"
fi
nice cmake --build "$out/app" -j 2
cp "$out/app/tessel.html" "$out/tessel.html"
echo "built $out/tessel.html ($(stat -c %s "$out/tessel.html") bytes)"
