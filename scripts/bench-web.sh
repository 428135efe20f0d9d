#!/usr/bin/env bash
# Times the benchmark workloads in the web edition against the headless build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-web.sh
[ -x build/tessel ] || make build JOBS=2
if [ ! -d web/node_modules ] || [ web/package-lock.json -nt web/node_modules ]; then
  (cd web && npm ci --no-audit --no-fund)
fi
node web/bench.mjs build-web/tessel.html build/tessel bench/workloads/*.tsl
