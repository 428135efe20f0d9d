#!/usr/bin/env bash
# tessel without its SDL and font modules beside it: a window run falls back
# to headless with the loader's reason, LOADIMG and screenshots still work
# (image files need no module), and text is left undrawn with one line
# saying why.
#
#   missing_module.sh BUILD/tessel TESTS_SOURCE_DIR
set -uo pipefail

TESSEL=$1
IMAGE=$(realpath "$2/fixtures/images/v24.bmp")
WORK=$(mktemp -d /tmp/tessel-missing-module.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
FAILED=0
fail() { echo "FAIL: $*"; FAILED=1; }

cp "$TESSEL" "$WORK/tessel"
cat > "$WORK/img.tsl" <<TSL
PTR p
LOADIMG p, "$IMAGE", 0, 0, 0, 16
PRINT 0, 0, p
TSL

# Without the module the image loads all the same (non-zero handle).
"$WORK/tessel" --headless --print-log "$WORK/none.prints" "$WORK/img.tsl" 2>"$WORK/none.err"
status=$?
[ "$status" -eq 0 ] || fail "LOADIMG without the module: exit status $status"
grep -q '"text":"1"' "$WORK/none.prints" || fail "LOADIMG without the module: $(cat "$WORK/none.prints")"

# A window run falls back to headless and says why.
DISPLAY=:tessel-none "$WORK/tessel" "$WORK/img.tsl" 2>"$WORK/window.err"
status=$?
[ "$status" -eq 0 ] || fail "window run without the module: exit status $status"
grep -q 'cannot open a window (.*libtessel_sdl.so.*); running headless' "$WORK/window.err" ||
    fail "window run without the module: $(cat "$WORK/window.err")"

# A screenshot is written without the module, and is a PNG file.
"$WORK/tessel" --headless --screenshot "$WORK/shot.png" "$WORK/img.tsl" 2>"$WORK/shot.err"
[ "$(head -c 4 "$WORK/shot.png" 2>/dev/null | tail -c 3)" = "PNG" ] ||
    fail "screenshot without the module: $(cat "$WORK/shot.err")"

# PRINT without the font module: the run goes on, the text is logged, and
# one line says why nothing is drawn.
printf 'PRINT 10, 10, "one"\nPRINT 10, 30, "two"\n' > "$WORK/text.tsl"
"$WORK/tessel" --headless --print-log "$WORK/text.prints" "$WORK/text.tsl" 2>"$WORK/text.err"
status=$?
[ "$status" -eq 0 ] || fail "PRINT without the font module: exit status $status"
grep -q '"text":"two"' "$WORK/text.prints" || fail "PRINT without the font module: $(cat "$WORK/text.prints")"
[ "$(grep -c 'cannot draw text (.*libtessel_font.so.*)' "$WORK/text.err")" -eq 1 ] ||
    fail "PRINT without the font module: $(cat "$WORK/text.err")"

exit $FAILED
