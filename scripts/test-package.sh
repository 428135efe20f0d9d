#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a scratch root and runs the
# unpacked tessel headless on the unpacked Mandelbrot example (its modules
# found in usr/lib/tessel/, its screenshot compared pixel for pixel with the
# committed one), checks the files a desktop needs, then runs lintian on
# the .deb: errors fail, warnings are listed.
#
#   scripts/test-package.sh [BUILD_DIR]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
for tool in cpack dpkg-deb dpkg-shlibdeps lintian compare; do
  command -v "$tool" >/dev/null ||
    { echo "package test: $tool is missing (scripts/install-deps.sh --test installs it)"; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cmake --build "$build" -j "${JOBS:-2}" >/dev/null || { echo "FAIL: build"; exit 1; }
(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb="$(ls "$work"/out/*.deb 2>/dev/null | head -n 1)"
[ -n "$deb" ] || { cat "$work/cpack.log"; echo "FAIL: no .deb written"; exit 1; }
echo "package: $(basename "$deb")"

# The control fields: the generated library dependencies and the font.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for dep in libc6 libstdc++6 libsdl2 libfreetype6 libfontconfig1 fonts-dejavu-core; do
  grep -q "$dep" <<<"$depends" || fail "Depends lacks $dep"
done
[ "$(dpkg-deb -f "$deb" Section)" = interpreters ] || fail "Section: $(dpkg-deb -f "$deb" Section)"

# The unpacked tree holds what the desktop and the man page need.
pkg="$work/root"
dpkg-deb -x "$deb" "$pkg" || { echo "FAIL: dpkg-deb -x"; exit 1; }
for f in usr/bin/tessel usr/lib/tessel/libtessel_sdl.so usr/lib/tessel/libtessel_font.so \
    usr/share/man/man1/tessel.1.gz usr/share/doc/tessel/copyright usr/share/doc/tessel/changelog.gz \
    usr/share/doc/tessel/guide.md usr/share/doc/tessel/examples/mandel.tsl \
    usr/share/applications/tessel.desktop usr/share/mime/packages/tessel.xml \
    usr/share/vim/vimfiles/syntax/tessel.vim; do
  [ -e "$pkg/$f" ] || fail "missing $f"
done
grep -qx 'Exec=tessel %f' "$pkg/usr/share/applications/tessel.desktop" || fail "desktop entry: Exec"
grep -q 'MimeType=text/x-tessel;' "$pkg/usr/share/applications/tessel.desktop" || fail "desktop entry: MimeType"
grep -q '<glob pattern="\*.tsl"/>' "$pkg/usr/share/mime/packages/tessel.xml" || fail "MIME type: glob"
file "$pkg/usr/bin/tessel" | grep -q 'not stripped' && fail "usr/bin/tessel is not stripped"

# The unpacked tessel runs the unpacked example with the unpacked modules
# (text and PNG saving need both) and draws the committed picture.
examples="$pkg/usr/share/doc/tessel/examples"
status=0
(cd "$examples" && "$pkg/usr/bin/tessel" --headless --events mandel.events \
  --screenshot "$work/mandel.png" mandel.tsl) 2>"$work/run.err" || status=$?
[ "$status" -eq 0 ] || fail "unpacked tessel: exit status $status: $(cat "$work/run.err")"
if [ ! -s "$work/mandel.png" ]; then
  fail "unpacked tessel wrote no screenshot: $(cat "$work/run.err")"
elif ! compare -metric AE "$work/mandel.png" "$root/examples/mandel.png" null: 2>"$work/compare.txt"; then
  # Pixels, not bytes: the PNG encoder may pack the same pixels differently.
  fail "unpacked tessel's screenshot differs from examples/mandel.png in $(cat "$work/compare.txt") pixels"
fi

# lintian: no errors; warnings are printed for the record.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1
sed 's/^/lintian: /' "$work/lintian.txt"
grep -q '^E:' "$work/lintian.txt" && fail "lintian reports errors"

[ "$failed" -eq 0 ] && echo "package test passed"
exit "$failed"
