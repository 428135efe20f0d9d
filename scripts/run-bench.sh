#!/usr/bin/env bash
# Runs the benchmark workloads on tessel and, side by side in the same run,
# on Lua 5.4 and yabasic (and brandy for drawing), printing minima, medians
# and ratios.
# Usage: scripts/run-bench.sh BUILD_DIR [RUNS]
set -euo pipefail
build="$1"
runs="${2:-7}"
root="$(cd "$(dirname "$0")/.." && pwd)"
w="$root/bench/workloads"
tessel="$(cd "$build" && pwd)/tessel"
tmp="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# median seconds of one command (hyperfine's CSV: command,mean,stddev,median,...)
median() {
  hyperfine -N --warmup 1 --runs "$runs" --export-csv "$tmp/r.csv" "$1" >/dev/null 2>&1 || {
    echo "nan"; return; }
  awk -F, 'NR==2 {printf "%.4f", $4}' "$tmp/r.csv"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# CPU seconds (user + system) of one run of a command.
cpu() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || true
  awk '{printf "%.3f", $1 + $2}' <<<"$t"
}
# "min median" of the numbers given.
minmed() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {printf "%.3f %.3f", a[1], a[int((NR+1)/2)]}'; }

# The three interpreters take turns, run after run, so that a slow spell of
# the machine falls on all of them alike. CPU time of the whole process; the
# minimum is the figure least disturbed by other work on the machine.
lang_runs=$((runs * 3))
echo "Language workloads (CPU seconds of whole processes, min and median of $lang_runs interleaved runs)"
printf '%-10s %15s %15s %15s %12s %12s\n' workload "tessel min/med" "lua5.4 min/med" "yabasic min/med" \
  "tessel/lua" "tessel/yab"
for name in loop branches calls arrays strings; do
  T=(); L=(); Y=()
  for _ in $(seq "$lang_runs"); do
    T+=("$(cpu "$tessel" --headless "$w/$name.tsl")")
    L+=("$(cpu lua5.4 "$w/$name.lua")")
    Y+=("$(cpu yabasic "$w/$name.yab")")
  done
  read -r tmin tmed <<<"$(minmed "${T[@]}")"
  read -r lmin lmed <<<"$(minmed "${L[@]}")"
  read -r ymin ymed <<<"$(minmed "${Y[@]}")"
  printf '%-10s %15s %15s %15s %12s %12s\n' "$name" "$tmin/$tmed" "$lmin/$lmed" "$ymin/$ymed" \
    "$(ratio "$tmin" "$lmin")" "$(ratio "$tmin" "$ymin")"
done
echo "(ratios of the minima)"

# Drawing needs a display for the window runs: use Xvfb when there is none.
if [ -z "${DISPLAY:-}" ]; then
  disp=":$((90 + RANDOM % 9))"
  Xvfb "$disp" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$disp"
  sleep 1
fi
printf 'close\n' > "$tmp/close.events"
echo
echo "Drawing: 100,000 PSET, 10,000 LINE, 1,000 CIRCLE, SWAP every 1,000 (median seconds)"
th=$(median "$tessel --headless $w/draw.tsl")
tw=$(median "$tessel --events $tmp/close.events $w/draw.tsl")
yw=$(median "yabasic $w/draw.yab")
bw=$(SDL_VIDEODRIVER=x11 median "brandy -quit $w/draw.bas")
printf '%-22s %9s\n' "tessel headless" "$th" "tessel window" "$tw" "yabasic window" "$yw" "brandy window" "$bw"
echo "window/headless: $(ratio "$tw" "$th")   yabasic/tessel: $(ratio "$yw" "$tw")   brandy/tessel: $(ratio "$bw" "$tw")"

if [ -x "$build/bench/bench_front" ]; then
  echo
  echo "Front end (tokenize and check)"
  "$build/bench/bench_front"
fi
