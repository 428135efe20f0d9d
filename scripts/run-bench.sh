#!/usr/bin/env bash
# Runs the benchmark workloads on tessel and, side by side in the same run,
# on Lua 5.4 and the LuaJIT interpreter (luajit -joff), checking that each
# counterpart computes the same result and printing CPU-time minima, medians
# and ratios. The counterparts keep their variables global, as a script's
# are; Lua 5.4 and the LuaJIT interpreter on the same programs with local
# variables run beside them (bench/workloads/locals), the figures the
# targets are set against. Then drawing in a window against yabasic
# and brandy, large scripts, the front end and the number formatting.
# Usage: scripts/run-bench.sh BUILD_DIR [RUNS]   (RUNS per interpreter, default 5)
set -euo pipefail
build="$1"
runs="${2:-5}"
root="$(cd "$(dirname "$0")/.." && pwd)"
w="$root/bench/workloads"
wl="$w/locals"
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

# CPU milliseconds (user + system) of one run of a command.
cpu() {
  local TIMEFORMAT='%3U %3S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ) || true
  awk '{printf "%d", ($1 + $2) * 1000 + 0.5}' <<<"$t"
}
# "min median" of the numbers given.
minmed() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {printf "%d %d", a[1], a[int((NR+1)/2)]}'; }

# 32 by 32, 24 bits, rows bottom-up: a disc with a colour gradient on black
# (transparent) corners.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
make_bmp() {
  local out="$1" x y data=""
  {
    printf 'BM'; printf "$(le32 3126)"; printf "$(le32 0)"; printf "$(le32 54)"
    printf "$(le32 40)$(le32 32)$(le32 32)"; printf '\x01\x00\x18\x00'
    printf "$(le32 0)$(le32 3072)$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
    for ((y = 31; y >= 0; y--)); do
      data=""
      for ((x = 0; x < 32; x++)); do
        if (((2 * x - 31) ** 2 + (2 * y - 31) ** 2 >= 1024)); then data+='\x00\x00\x00'
        else data+=$(printf '\\x%02x\\x%02x\\x%02x' 128 $((y * 8)) $((x * 8 + 4))); fi
      done
      printf "$data"
    done
  } > "$out"
}

# The images workload loads bench.bmp from the directory tessel runs in.
make_bmp "$tmp/bench.bmp"
# (A workload that never ends is cut off after five minutes.)
run_tessel() { (cd "$tmp" && timeout 300 "$tessel" --headless "$@"); }

# The result of each: the text of tessel's last PRINT, the last line Lua prints.
tessel_result() {
  run_tessel --print-log "$tmp/print.log" "$1" >/dev/null 2>&1 || true
  tail -n 1 "$tmp/print.log" | sed -E 's/.*"text":"(.*)"\}$/\1/'
}
lua_result() { "$@" 2>&1 | tail -n 1; }

workloads=(loop calls branches sieve mandel strings strs text images)
echo "Results (tessel's last PRINT against what Lua 5.4, luajit -joff, and both with locals print)"
mismatch=0
for name in "${workloads[@]}"; do
  t=$(tessel_result "$w/$name.tsl")
  l=$(lua_result lua5.4 "$w/$name.lua")
  j=$(lua_result luajit -joff "$w/$name.lua")
  o=$(lua_result lua5.4 "$wl/$name.lua")
  k=$(lua_result luajit -joff "$wl/$name.lua")
  verdict="same"
  if [ "$t" != "$l" ] || [ "$t" != "$j" ] || [ "$t" != "$o" ] || [ "$t" != "$k" ]; then verdict="DIFFERENT"; mismatch=1; fi
  printf '%-10s %-9s tessel "%s"  lua "%s"  luajit "%s"  lua locals "%s"  luajit locals "%s"\n' "$name" \
    "$verdict" "${t:0:30}" "${l:0:30}" "${j:0:30}" "${o:0:30}" "${k:0:30}"
done

# The interpreters take turns, run after run, so that a slow spell of the
# machine falls on all of them alike. CPU time of the whole process; the
# minimum is the figure least disturbed by other work on the machine.
echo
echo "Language workloads (CPU ms of whole processes, min/median of $runs interleaved runs each)"
echo "(lua and luajit: the counterparts with global variables; locals: the same with local variables)"
row() { printf '%-10s %11s %11s %13s %11s %13s %13s %13s\n' "$@"; }
row workload tessel lua5.4 "luajit -joff" "lua locals" "luajit locals" "tessel/locals" "tessel/jit loc"
row "" min/med min/med min/med min/med min/med min/med min/med
for name in "${workloads[@]}"; do
  T=(); L=(); J=(); O=(); K=()
  for _ in $(seq "$runs"); do
    T+=("$(cpu run_tessel "$w/$name.tsl")")
    L+=("$(cpu lua5.4 "$w/$name.lua")")
    J+=("$(cpu luajit -joff "$w/$name.lua")")
    O+=("$(cpu lua5.4 "$wl/$name.lua")")
    K+=("$(cpu luajit -joff "$wl/$name.lua")")
  done
  read -r tmin tmed <<<"$(minmed "${T[@]}")"
  read -r lmin lmed <<<"$(minmed "${L[@]}")"
  read -r jmin jmed <<<"$(minmed "${J[@]}")"
  read -r omin omed <<<"$(minmed "${O[@]}")"
  read -r kmin kmed <<<"$(minmed "${K[@]}")"
  row "$name" "$tmin/$tmed" "$lmin/$lmed" "$jmin/$jmed" "$omin/$omed" "$kmin/$kmed" \
    "$(ratio "$tmin" "$omin")/$(ratio "$tmed" "$omed")" "$(ratio "$tmin" "$kmin")/$(ratio "$tmed" "$kmed")"
done
echo "(ratios of the minima / of the medians; below 1: tessel is faster)"

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
# (The other interpreters' window runs are cut off after a minute: a run
# left behind once spun on after its display had gone, and every later
# figure of the session was taken beside it.)
yw=$(median "timeout -k 5 60 yabasic $w/draw.yab")
bw=$(SDL_VIDEODRIVER=x11 median "timeout -k 5 60 brandy -quit $w/draw.bas")
printf '%-22s %9s\n' "tessel headless" "$th" "tessel window" "$tw" "yabasic window" "$yw" "brandy window" "$bw"
echo "window/headless: $(ratio "$tw" "$th")   yabasic/tessel: $(ratio "$yw" "$tw")   brandy/tessel: $(ratio "$bw" "$tw")"

if [ -x "$build/bench/bench_numtext" ]; then
  echo
  echo "Number to text (integer conversion against the long-double reference)"
  "$build/bench/bench_numtext"
fi

echo
echo "Large scripts (time and peak memory of --check, --lint and a headless run)"
"$root/scripts/bench-large.sh" "$tessel" 3

if [ -x "$build/bench/bench_front" ]; then
  echo
  echo "Front end (tokenize and check; compile a million tokens, by shape)"
  "$build/bench/bench_front"
fi

if [ -x "$build/bench/bench_lsp" ]; then
  echo
  echo "Language server on a 5,000-line script (ms: mean, median, stddev of 10 runs)"
  "$build/bench/bench_lsp" --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
fi

if [ -x "$build/bench/bench_debug" ]; then
  echo
  echo "A debugger's cost on a million passes of a two-statement loop (ms: mean, median, stddev of 10 runs)"
  "$build/bench/bench_debug" --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
fi

exit "$mismatch"
