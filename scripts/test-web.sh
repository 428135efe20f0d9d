#!/usr/bin/env bash
# Tests the web edition: builds the page and the headless build, then runs
# scripts in both (the golden cases and the bundled examples, with their
# events) and compares boxes, PRINT logs and pixels, and checks the page's
# own behaviour in headless Chromium (web/test/page-test.mjs), driving the
# test edition of the page and checking that the shipped one has no hooks.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-web-deps.sh
scripts/build-web.sh
[ -x build/tessel ] || make build JOBS=2
node web/test/web-test.mjs build-web/tessel-test.html build/tessel tests/scripts examples
