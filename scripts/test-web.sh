#!/usr/bin/env bash
# Tests the web edition: builds the page and the headless build, then runs
# scripts in both (the golden cases and the bundled examples, with their
# events) and compares boxes, PRINT logs and pixels, and checks the page's
# own behaviour in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-web-deps.sh
scripts/build-web.sh
[ -x build/tessel ] || make build JOBS=2
if [ ! -d web/node_modules ] || [ web/package-lock.json -nt web/node_modules ]; then
  (cd web && npm ci --no-audit --no-fund)
fi
node web/test/web-test.mjs build-web/tessel.html build/tessel tests/scripts examples
