#!/usr/bin/env bash
# Times the benchmark workloads in the web edition against the headless build,
# and how soon the page shows its first picture (at full speed and with the
# CPU throttled 4x), in the test edition of the page (its hooks tell when a
# run ends and when the page is ready). Pages named in BASELINE (an older
# tessel-test.html, say) are timed in turns with this one.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-web.sh
[ -x build/tessel ] || make build JOBS=2
node web/bench.mjs build-web/tessel-test.html build/tessel bench/workloads/*.tsl
# shellcheck disable=SC2086
node web/bench-load.mjs ${BASELINE:-} build-web/tessel-test.html
