#!/bin/sh
# Runs the golden runner on cases that are wrong on purpose and checks that
# each one fails once, at the script line and with the words its first line
# names:
#   ' must fail: LINE | WORDS
# usage: check.sh TESSEL_GOLDEN TESSEL CASES_DIR OUT_DIR
runner=$1 tessel=$2 cases=$3 out=$4
status=0
for script in "$cases"/*.tsl; do
    name=$(basename "$script" .tsl)
    header=$(head -n 1 "$script" | sed -n "s/^' must fail: //p")
    line=${header%% | *}
    words=${header#* | }
    if [ -z "$header" ]; then
        echo "FAIL $name: no \"' must fail: LINE | WORDS\" first line"
        status=1
        continue
    fi
    log="$out/$name.log"
    mkdir -p "$out"
    if "$runner" --tessel="$tessel" --out="$out" --case="should_fail.$name" "$script" >"$log" 2>&1; then
        echo "FAIL $name: the runner passed it"
        status=1
    elif ! grep -qF "$name.tsl:$line: Failure" "$log"; then
        echo "FAIL $name: no failure reported at $name.tsl:$line"
        status=1
    elif ! grep -qF -- "$words" "$log"; then
        echo "FAIL $name: the report does not say: $words"
        status=1
    elif [ "$(grep -c ': Failure$' "$log")" -ne 1 ]; then
        echo "FAIL $name: more than the one failure"
        status=1
    else
        echo "ok   $name fails at line $line"
        continue
    fi
    sed 's/^/    /' "$log"
done
exit $status
