#!/usr/bin/env bash
# Runs the tokenizer/checker fuzzer for a number of seconds, seeded with the
# golden test scripts. Fails when it finds a crash, a hang or a leak.
set -euo pipefail
fuzzer="$1"
seconds="${2:-300}"
root="$(cd "$(dirname "$0")/.." && pwd)"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
find "$root/tests/scripts" "$root/examples" -name '*.tsl' -exec cp {} "$corpus/" \; 2>/dev/null || true
"$fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 \
  -print_final_stats=1 "$corpus" 2>&1 | tail -n 15
echo "fuzzing for ${seconds}s found nothing"
