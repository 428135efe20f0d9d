#!/usr/bin/env bash
# Builds the web edition, build-web/tessel.html: one page that carries the
# interpreter, its fonts, the editor and the bundled examples; beside it the
# manifest, service worker and icon a web host serves with it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=build-web

scripts/install-web-deps.sh
scripts/build-web-freetype.sh "$out"
if [ ! -d web/node_modules ] || [ web/package-lock.json -nt web/node_modules ]; then
  (cd web && npm ci --no-audit --no-fund)
  touch web/node_modules
fi

# The fonts, cut down to the characters scripts can draw (Windows-1252):
# text is drawn unhinted, so the hinting goes too.
fonts=/usr/share/fonts/truetype/dejavu
mkdir -p "$out/fonts"
cp1252="U+0000-00FF,U+20AC,U+201A,U+0192,U+201E,U+2026,U+2020,U+2021,U+02C6,U+2030,U+0160,U+2039,"
cp1252+="U+0152,U+017D,U+2018,U+2019,U+201C,U+201D,U+2022,U+2013,U+2014,U+02DC,U+2122,U+0161,U+203A,"
cp1252+="U+0153,U+017E,U+0178"
for f in DejaVuSansMono.ttf DejaVuSansMono-Bold.ttf DejaVuSans.ttf DejaVuSans-Bold.ttf \
  DejaVuSerif.ttf DejaVuSerif-Bold.ttf; do
  if [ ! -s "$out/fonts/$f" ] || [ "$fonts/$f" -nt "$out/fonts/$f" ]; then
    /usr/bin/python3 -m fontTools.subset "$fonts/$f" --unicodes="$cp1252" --no-hinting --layout-features='' --drop-tables+=FFTM \
      --output-file="$out/fonts/$f"
  fi
done

# Emscripten's JS optimizer loads acorn from Debian's node module folder.
export NODE_PATH=/usr/share/nodejs
if [ ! -e "$out/app/build.ninja" ]; then
  emcmake cmake -S web -B "$out/app" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DFREETYPE_ROOT="$PWD/$out/freetype/install"
fi
nice cmake --build "$out/app" -j 2
node web/build.mjs "$out/app" "$out/fonts" "$out"
