#!/usr/bin/env bash
# Regenerates the screenshot of every example, headless, from its events file.
# An example's expectations (tests/expectations/examples/NAME.expect, or
# comments of the script itself) name both:
#   ' events: NAME.events
#   ' expect screenshot: NAME.png
# Usage: scripts/make-screenshots.sh [--verify] [BUILD_DIR]
#   --verify  render into a scratch folder and compare with the committed
#             pictures byte for byte instead of overwriting them
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
verify=0
if [ "${1:-}" = "--verify" ]; then verify=1; shift; fi
build="${1:-$root/build}"

# Rebuild the interpreter if a source changed (configure on first use).
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target tessel -j "${JOBS:-2}" >/dev/null
tessel="$(cd "$build" && pwd)/tessel"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# The value of a "' KEY: VALUE" comment line of a script or of its
# expectations file, or nothing.
directive() {
  { cat "$1"; cat "$root/tests/expectations/examples/${1%.tsl}.expect" 2>/dev/null || true; } |
    sed -n "s/^' *$2: *\(.*[^ ]\) *\$/\1/p" | head -n 1
}

failed=0
count=0
cd "$root/examples"
for script in *.tsl; do
  events="$(directive "$script" events)"
  shot="$(directive "$script" "expect screenshot")"
  [ -n "$shot" ] || continue
  out="$shot"
  [ "$verify" = 1 ] && out="$tmp/$shot"
  args=(--headless --screenshot "$out")
  [ -n "$events" ] && args+=(--events "$events")
  status=0
  "$tessel" "${args[@]}" "$script" 2>"$tmp/stderr" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "FAIL $script: exit status $status" >&2
    sed 's/^/  /' "$tmp/stderr" >&2
    failed=1
    continue
  fi
  if [ "$verify" = 1 ]; then
    if ! cmp -s "$out" "$shot"; then
      echo "DIFF $script: its screenshot differs from $shot" >&2
      failed=1
      continue
    fi
    echo "same $shot"
  else
    echo "wrote $shot"
  fi
  count=$((count + 1))
done
echo "$count screenshots $([ "$verify" = 1 ] && echo checked || echo written)"
exit "$failed"
