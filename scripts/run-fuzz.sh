#!/usr/bin/env bash
# Runs one libFuzzer target for a number of seconds (and at most RUNS
# executions), seeded with the project's own files of its kind. Fails when
# it finds a crash, a hang or a leak.
#   run-fuzz.sh FUZZER SECONDS [RUNS]
set -euo pipefail
fuzzer="$1"
seconds="${2:-300}"
runs="${3:--1}"
root="$(cd "$(dirname "$0")/.." && pwd)"
name="$(basename "$fuzzer")"
corpus="$(mktemp -d)"
trap 'rm -rf "$corpus"' EXIT
flags=(-max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 -max_len=65536
       -print_final_stats=1)
case "$name" in
    fuzz_events) find "$root/tests" "$root/examples" "$root/fuzz/events_corpus" -name '*.events' -exec cp {} "$corpus/" \;
                 flags+=(-dict="$root/fuzz/events.dict") ;;
    fuzz_image) exec "$root/scripts/run-image-fuzz.sh" "$fuzzer" "$seconds" ;;  # seeds of its own
    fuzz_program) find "$root/tests/scripts" "$root/examples" -name '*.tsl' -exec cp {} "$corpus/" \;
                  flags+=(-close_fd_mask=2) ;;  # the run's boxes go to stderr
    fuzz_engines) find "$root/tests/scripts" "$root/examples" -name '*.tsl' -exec cp {} "$corpus/" \;
                  # and generated programs: the byte 1, then an eight-byte seed
                  for seed in $(seq 1 16); do
                    printf "\\001\\000\\000\\000\\000\\000\\000\\000\\$(printf %03o "$seed")" > "$corpus/generated-$seed"
                  done ;;
    *) find "$root/tests/scripts" "$root/examples" -name '*.tsl' -exec cp {} "$corpus/" \; ;;
esac
"$fuzzer" "${flags[@]}" "$corpus" 2>&1 | tail -n 40
echo "$name: fuzzing for ${seconds}s found nothing"
