#!/usr/bin/env bash
# Large scripts: peak memory and time of --check, --lint and a headless run
# of generated scripts of 1, 16 and 64 MiB in four shapes (line ends only,
# dense arithmetic, one-line IF blocks, declarations), with the bytes each
# token costs at the peak. Each figure is the min/median of RUNS runs.
# Usage: scripts/bench-large.sh TESSEL [RUNS]   (RUNS default 3)
set -euo pipefail
tessel="$1"
runs="${2:-3}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# Writes a script of about $2 MiB of shape $1 to $3 and prints its token count.
generate() {
  local shape="$1" bytes=$(($2 * 1048576 - 64)) out="$3"
  case "$shape" in
    eol)  # a file of nothing but line ends: a token a byte
      head -c "$bytes" /dev/zero | tr '\0' '\n' >"$out"
      echo "$bytes" ;;
    dense)  # 12 tokens in 12 bytes
      local n=$(((bytes - 6) / 12))
      { printf 'VAR a\n'; yes 'a=a+a-a*a/a' | head -n "$n"; } >"$out"
      echo $((3 + 12 * n)) ;;
    if)  # IF x = 1 : GOTO l : ENDIF, 10 tokens in 26 bytes
      local n=$(((bytes - 14) / 26))
      { printf 'VAR x\nLABEL l\n'; yes 'IF x = 1 : GOTO l : ENDIF' | head -n "$n"; } >"$out"
      echo $((6 + 10 * n)) ;;
    decl)  # a million variables or more, 3 tokens a line
      awk -v bytes="$bytes" 'BEGIN { n = 0; for (i = 0; n < bytes - 20; i++) { s = "VAR v" i; print s; n += length(s) + 1; lines++ } print lines > "/dev/stderr" }' \
        >"$out" 2>"$tmp/lines"
      echo $((3 * $(cat "$tmp/lines"))) ;;
  esac
}

# "seconds KB" of one run: wall time and peak resident memory.
measure() {
  /usr/bin/time -f '%e %M' -o "$tmp/time" "$tessel" "$@" >/dev/null 2>&1 || true
  cat "$tmp/time"
}
minmed() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {printf "%s/%s", a[1], a[int((NR+1)/2)]}'; }

printf '%-6s %5s %10s  %-8s %13s %13s %9s\n' shape MiB tokens mode "seconds" "peak MB" "B/token"
for size in 1 16 64; do
  for shape in eol dense if decl; do
    script="$tmp/$shape-$size.tsl"
    tokens=$(generate "$shape" "$size" "$script")
    for mode in --check --lint "--headless -q"; do
      S=(); M=()
      for _ in $(seq "$runs"); do
        read -r s kb <<<"$(measure $mode "$script")"
        S+=("$s"); M+=("$((kb / 1024))")
      done
      peak=$(printf '%s\n' "${M[@]}" | sort -g | tail -n 1)
      printf '%-6s %5s %10s  %-8s %13s %13s %9s\n' "$shape" "$size" "$tokens" "${mode%% *}" \
        "$(minmed "${S[@]}")" "$(minmed "${M[@]}")" \
        "$(awk -v m="$peak" -v t="$tokens" 'BEGIN { printf "%.1f", m * 1048576 / t }')"
    done
    rm -f "$script"
  done
done
echo "(seconds and peak MB: min/median; B/token: the highest peak over the tokens)"
