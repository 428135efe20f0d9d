#!/usr/bin/env bash
# Runs every benchmark built in the given build folder.
set -euo pipefail
build="${1:-build}"
found=0
for b in "$build"/bench/bench_*; do
  [ -x "$b" ] || continue
  found=1
  echo "== $(basename "$b")"
  "$b"
done
[ "$found" = 1 ] || echo "benchmarks: none built"
