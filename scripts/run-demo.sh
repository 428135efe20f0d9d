#!/usr/bin/env bash
# Runs the demo: in a window when there is a display, otherwise headless,
# saving what the window would show as demo.png.
set -euo pipefail
tessel="$1"
demo="$(dirname "$0")/../examples/demo.tsl"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$tessel" "$demo"
fi
"$tessel" --headless --screenshot demo.png "$demo"
echo "No display: ran headless and saved the window as demo.png"
