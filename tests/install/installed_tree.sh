#!/usr/bin/env bash
# An installed tree (cmake --install into a scratch DESTDIR) runs: the
# installed tessel finds its modules in ../lib/tessel/, so it draws text
# (the font module) and saves a screenshot (the SDL module), and the man
# page, examples and desktop files are where they belong.
#
#   installed_tree.sh BUILD_DIR
set -uo pipefail
BUILD=$1
WORK=$(mktemp -d /tmp/tessel-installed.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }

DESTDIR="$WORK/root" cmake --install "$BUILD" --prefix /opt/tessel >"$WORK/install.log" 2>&1 ||
    { cat "$WORK/install.log"; echo "FAIL: cmake --install"; exit 1; }
PREFIX="$WORK/root/opt/tessel"
for f in bin/tessel lib/tessel/libtessel_sdl.so lib/tessel/libtessel_font.so \
    share/man/man1/tessel.1.gz share/doc/tessel/examples/mandel.tsl share/doc/tessel/copyright \
    share/applications/tessel.desktop share/mime/packages/tessel.xml \
    share/vim/vimfiles/ftdetect/tessel.vim; do
    [ -e "$PREFIX/$f" ] || fail "not installed: $f"
done
[ -e "$PREFIX/bin/libtessel_sdl.so" ] && fail "a module was installed beside the binary"

printf 'FCOLOR 255, 255, 255\nPRINT 10, 10, "installed"\nSWAP\n' >"$WORK/text.tsl"
"$PREFIX/bin/tessel" --headless --screenshot "$WORK/shot.png" "$WORK/text.tsl" 2>"$WORK/err"
status=$?
[ "$status" -eq 0 ] || fail "installed tessel: exit status $status: $(cat "$WORK/err")"
[ -s "$WORK/shot.png" ] || fail "installed tessel saved no screenshot: $(cat "$WORK/err")"
grep -q 'cannot' "$WORK/err" && fail "installed tessel: $(cat "$WORK/err")"

exit $FAILED
