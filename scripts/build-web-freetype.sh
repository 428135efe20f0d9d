#!/usr/bin/env bash
# Builds FreeType for the web edition from Debian's source package (the same
# release and patches as the library the native build links), once: the
# result stays in BUILD_DIR/freetype/install until that folder is removed.
#   scripts/build-web-freetype.sh BUILD_DIR
# The Windows build uses it too, with its own compiler and archiver:
#   FREETYPE_CC=x86_64-w64-mingw32-gcc FREETYPE_AR=x86_64-w64-mingw32-ar \
#     scripts/build-web-freetype.sh BUILD_DIR
#
# Only what tessel's text drawing uses is compiled: the base layer with the
# bitmap and emboldening helpers, the TrueType driver, the SFNT tables and
# the anti-aliasing renderer (glyphs are loaded unhinted, so neither the
# auto-hinter nor any other font format is needed). Their modules are
# registered through a module list of our own instead of FreeType's.
set -euo pipefail

build_dir=$(realpath -m "${1:?usage: build-web-freetype.sh BUILD_DIR}")
root="$build_dir/freetype"
install="$root/install"

# The web edition draws only the DejaVu fonts it carries, unhinted, in
# grey: FreeType's bytecode interpreter, font variations, colour and SVG
# glyphs, embedded bitmaps and the other formats' extras are left out of
# its module. The Windows build keeps them (it may open any installed font).
options_off=()
if [ -z "${FREETYPE_CC:-}" ]; then
  options_off=(TT_CONFIG_OPTION_BYTECODE_INTERPRETER TT_CONFIG_OPTION_SUBPIXEL_HINTING
    TT_CONFIG_OPTION_GX_VAR_SUPPORT TT_CONFIG_OPTION_COLOR_LAYERS TT_CONFIG_OPTION_EMBEDDED_BITMAPS
    TT_CONFIG_OPTION_BDF FT_CONFIG_OPTION_SVG FT_CONFIG_OPTION_MAC_FONTS FT_CONFIG_OPTION_INCREMENTAL)
fi
# Built again when the options change.
stamp="options off: ${options_off[*]}"
[ -e "$install/lib/libfreetype.a" ] && [ "$(cat "$install/options" 2>/dev/null)" = "$stamp" ] && exit 0

mkdir -p "$root"
cd "$root"
if ! ls freetype_*+dfsg.orig.tar.xz >/dev/null 2>&1; then
  apt-get source --download-only freetype
fi
rm -rf src objs "$install" && mkdir src objs
tar -xf freetype_*+dfsg.orig.tar.xz -C src --strip-components=1
tar -xf freetype_*.debian.tar.xz -C src
while read -r patch; do
  case "$patch" in ''|'#'*) continue ;; esac
  # Patches to the documentation (not unpacked here) are left out.
  if patch -d src -p1 -s -f --dry-run < "src/debian/patches/$patch" >/dev/null 2>&1; then
    patch -d src -p1 -s -f < "src/debian/patches/$patch"
  fi
done < src/debian/patches/series

# The public headers, installed as FreeType's own build lays them out; the
# options without zlib (WOFF fonts are never loaded) and the module list.
headers="$install/include/freetype2"
mkdir -p "$headers" "$install/lib"
cp -r src/include/ft2build.h src/include/freetype "$headers/"
for option in FT_CONFIG_OPTION_USE_ZLIB "${options_off[@]}"; do
  sed -i "s|^#define $option\\b.*|/* #undef $option */|" "$headers/freetype/config/ftoption.h"
done
cat > "$headers/freetype/config/ftmodule.h" <<'EOF'
/* The modules of tessel's web and Windows builds: TrueType outlines, anti-aliased. */
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
EOF

sources=(base/ftsystem.c base/ftinit.c base/ftdebug.c base/ftbase.c base/ftbitmap.c
  base/ftsynth.c truetype/truetype.c sfnt/sfnt.c smooth/smooth.c)
export NODE_PATH=/usr/share/nodejs
cc=${FREETYPE_CC:-emcc}
printf '%s\n' "${sources[@]}" | nice xargs -P 2 -I{} sh -c \
  '"$1" -O2 -DFT2_BUILD_LIBRARY -I"$2" -c "src/src/$3" -o "objs/$(echo "$3" | tr / _).o"' \
  sh "$cc" "$headers" {}
"${FREETYPE_AR:-emar}" rcs "$install/lib/libfreetype.a" objs/*.o
echo "$stamp" > "$install/options"
