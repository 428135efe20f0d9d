#!/bin/sh
# Runs the golden runner on a case that is wrong on purpose and checks that it
# fails once, at the script line and with the words its first line names:
#   ' must fail: LINE | WORDS
# (LINE may be FILE:LINE for a failure in the case's expectation file, which
# stands in expectations/SUITE/NAME.expect beside the cases).
# usage: check.sh TESSEL_GOLDEN TESSEL CASE.tsl OUT_DIR
runner=$1 tessel=$2 script=$3 out=$4
name=$(basename "$script" .tsl)
suite=$(basename "$(dirname "$script")")
header=$(head -n 1 "$script" | sed -n "s/^' must fail: //p")
line=${header%% | *}
case "$line" in *:*) where=$line ;; *) where="$name.tsl:$line" ;; esac
words=${header#* | }
log="$out/$name.log"
mkdir -p "$out"
fail() {
    echo "FAIL $name: $1"
    sed 's/^/    /' "$log"
    exit 1
}
[ -n "$header" ] || { echo "FAIL $name: no \"' must fail: LINE | WORDS\" first line"; exit 1; }
if "$runner" --tessel="$tessel" --out="$out" --case="$suite.$name" \
    --expectations="$(dirname "$script")/expectations" "$script" >"$log" 2>&1; then
    fail "the runner passed it"
fi
grep -qF "$where: Failure" "$log" || fail "no failure reported at $where"
grep -qF -- "$words" "$log" || fail "the report does not say: $words"
[ "$(grep -c ': Failure$' "$log")" -eq 1 ] || fail "more than the one failure"
echo "ok: $name fails at line $line"
