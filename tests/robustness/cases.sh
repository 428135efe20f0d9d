#!/usr/bin/env bash
# Hostile and clumsy inputs that once hung, crashed or lost work, each kept
# as a regression case:  cases.sh TESSEL CASE
# Every case runs tessel headless with a time limit and checks its exit
# status and what it said.
set -uo pipefail
TESSEL=$1
CASE=$2
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tessel-robust.XXXXXX")
LOADS=()  # busy processes a case starts, ended however it ends
trap '[ ${#LOADS[@]} -gt 0 ] && kill "${LOADS[@]}" 2>/dev/null; rm -rf "$WORK"' EXIT
cd "$WORK"
printf 'VAR x\nx = 1\nPRINT 0, 0, x\n' > ok.tsl

fail() { echo "FAIL ($CASE): $*"; exit 1; }

# run EXPECTED_STATUS ARGS...: runs tessel (10 s at most), keeping stderr in err.txt.
run() {
    local want=$1
    shift
    timeout 10 "$TESSEL" "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" -eq 124 ] && fail "tessel $* did not end within 10 s"
    [ "$got" -eq "$want" ] || fail "tessel $* exited $got, expected $want; stderr: $(head -c 400 err.txt)"
}

said() { grep -q -- "$1" err.txt || fail "expected '$1' on stderr; got: $(head -c 400 err.txt)"; }

case "$CASE" in
    same_under_load)  # headless time is virtual: a busy machine changes nothing
        game=$(dirname "$0")/timer_game.tsl
        printf 'wait 3000\nscreenshot idle.png\n' >idle.events
        run 0 --headless -q --seed 99 --events idle.events "$game"
        # Keep both cores (and one more) busy while the same run repeats.
        for _ in 1 2 3; do (while :; do :; done) & LOADS+=($!); done
        printf 'wait 3000\nscreenshot loaded.png\n' >loaded.events
        run 0 --headless -q --seed 99 --events loaded.events "$game"
        printf 'wait 3000\nscreenshot other.png\n' >other.events
        run 0 --headless -q --seed 100 --events other.events "$game"
        cmp -s idle.png loaded.png || fail "the loaded run drew another picture"
        cmp -s idle.png other.png && fail "another seed drew the same picture" ;;
    dev_zero)  # an endless character device is no script
        run 1 --headless /dev/zero
        said "Cannot open source file: /dev/zero: not a regular file"
        run 1 --check /dev/zero
        said "Cannot open source file: /dev/zero: not a regular file" ;;
    fifo)  # a FIFO nobody writes to would block the read for ever
        mkfifo pipe.tsl
        run 1 --headless pipe.tsl
        said "Cannot open source file: pipe.tsl: not a regular file" ;;
    directory)
        mkdir dir.tsl
        run 1 --headless dir.tsl
        said "Cannot open source file: dir.tsl: Is a directory" ;;
    missing)
        run 1 --headless nothing.tsl
        said "Cannot open source file: nothing.tsl: No such file or directory" ;;
    too_large)  # bigger than any script: refused before it is read
        truncate -s 65M big.tsl
        run 1 --headless big.tsl
        said "Cannot open source file: big.tsl: larger than 64 MiB" ;;
    log_names_script)  # a log or screenshot naming the script must not destroy it
        cp ok.tsl keep.tsl
        for opt in --box-log --print-log --screenshot; do
            run 2 --headless "$opt" keep.tsl keep.tsl
            said "names the script keep.tsl itself"
            cmp -s ok.tsl keep.tsl || fail "$opt destroyed the script"
        done
        ln -s keep.tsl link.tsl
        run 2 --headless --box-log link.tsl keep.tsl
        cmp -s ok.tsl keep.tsl || fail "a link to the script destroyed it" ;;
    log_write_errors)  # a full disk is reported and fails the run
        for opt in --box-log --print-log --screenshot; do
            run 1 --headless "$opt" /dev/full ok.tsl
            said "cannot \(write\|save screenshot\) /dev/full"
        done ;;
    hostile_images)  # broken or absurd images give handle 0, never a hang or a crash
        printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x00\x10\x00\x00\x00\x10\x08\x02\x00\x00\x00\x90\x91\x68\x36\x7f\xff\xff\xffIDAT' > long_chunk.png
        printf '<svg xmlns="http://www.w3.org/2000/svg" width="30000" height="30000"><rect width="30000" height="30000"/></svg>' > big.svg
        printf 'GIF89a\xff\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00\xff\xff\xff\xff\x00\x02\x02D\x01\x00;' > big.gif
        printf 'P6\n30000 30000\n255\n' > big.ppm
        printf 'BM\x36\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x00\x20\x00\x00\xff\x1f\x00\x00\x01\x00\x18\x00' > big.bmp
        {
            echo 'PTR p'
            echo 'VAR n'
            for f in long_chunk.png big.svg big.gif big.ppm big.bmp; do
                echo "LOADIMG p, \"$f\", 0, 0, 0, 16"
                echo 'n = p'
                echo 'PRINT 0, 0, n'
            done
        } > images.tsl
        run 0 --headless --print-log prints.jsonl images.tsl
        [ "$(grep -c '"text":"0"' prints.jsonl)" -eq 5 ] || fail "a hostile image got a handle: $(cat prints.jsonl)" ;;
    unwritable_log)
        run 1 --headless --box-log no/such/folder/boxes.jsonl ok.tsl
        said "cannot write no/such/folder/boxes.jsonl" ;;
    events_not_regular)  # an events file is read as a script is: bounded, regular
        cp ok.tsl keep.tsl
        mkfifo pipe.events
        mkdir dir.events
        truncate -s 17M big.events
        for f in /dev/zero /dev/urandom pipe.events; do
            run 2 --headless --events "$f" keep.tsl
            said "cannot read events file $f: not a regular file"
        done
        run 2 --headless --events dir.events keep.tsl
        said "cannot read events file dir.events: Is a directory"
        run 2 --headless --events big.events keep.tsl
        said "cannot read events file big.events: larger than 16 MiB"
        cmp -s ok.tsl keep.tsl || fail "a refused events file touched the script" ;;
    outputs_name_inputs)  # no output may overwrite an input or another output
        printf 'close\n' >close.events
        cp ok.tsl victim.tsl
        ln -s victim.tsl link.tsl
        run 2 --events close.events --record victim.tsl victim.tsl
        said "record victim.tsl names the script victim.tsl itself"
        run 2 --events close.events --record link.tsl victim.tsl
        cmp -s ok.tsl victim.tsl || fail "--record destroyed the script"
        echo 'seed 1' >old.events
        run 2 --record old.events --box-log victim.tsl victim.tsl
        [ "$(cat old.events)" = 'seed 1' ] || fail "a refused run emptied an older recording"
        for opt in --box-log --print-log --screenshot; do
            run 2 --headless --events close.events "$opt" close.events ok.tsl
            said "names the events file close.events itself"
        done
        cmp -s close.events <(printf 'close\n') || fail "an output emptied the events file"
        printf 'screenshot victim.tsl\n' >shot.events
        run 2 --headless --events shot.events victim.tsl
        said "shot.events:1: screenshot victim.tsl names the script victim.tsl itself"
        cmp -s ok.tsl victim.tsl || fail "a screenshot line replaced the script"
        run 2 --headless --box-log same.jsonl --print-log ./same.jsonl ok.tsl
        said "name the same file"
        [ -e same.jsonl ] && fail "a refused run made a log"
        true ;;
    screenshot_event_fails)  # a scripted screenshot that cannot be saved fails the run
        printf 'screenshot no/such/folder/x.png\n' >shot.events
        run 1 --headless --events shot.events ok.tsl
        said "cannot save screenshot no/such/folder/x.png" ;;
    record_without_window)  # the fallback to headless says that nothing is recorded
        echo 'seed 1' >old.events
        DISPLAY= WAYLAND_DISPLAY= run 0 --record old.events -q ok.tsl
        said "nothing is recorded"
        [ "$(cat old.events)" = 'seed 1' ] || fail "the recording was emptied" ;;
    events_control_bytes)  # events-file errors cannot write escape sequences to the terminal
        printf '\033]0;owned\007\n' >esc.events
        run 2 --headless --events esc.events ok.tsl
        said 'unknown event .\\x1b]0;owned\\x07'
        grep -q "$(printf '\033')" err.txt && fail "a raw escape byte reached stderr"
        true ;;
    stop_signals)  # SIGTERM and SIGINT end a run with its logs and screenshot written
        printf 'VAR i, one\none = 1\nWHILE one = 1\ni = i + 1\nPRINT 0, 0, i\nWEND\n' >endless.tsl
        set -m  # a background job of its own: SIGINT reaches it
        for sig in TERM INT; do
            rm -f boxes.jsonl prints.jsonl shot.png
            "$TESSEL" --headless --box-log boxes.jsonl --print-log prints.jsonl --screenshot shot.png \
                endless.tsl >out.txt 2>err.txt &
            pid=$!
            # The count box is flushed at once: the run has begun once it is there.
            for _ in $(seq 200); do [ -s boxes.jsonl ] && break; sleep 0.05; done
            kill -"$sig" "$pid"
            wait "$pid"
            got=$?
            want=$([ $sig = TERM ] && echo 143 || echo 130)
            [ "$got" -eq "$want" ] || fail "SIG$sig: exit status $got, expected $want"
            said "stopped by signal"
            [ -s prints.jsonl ] || fail "SIG$sig: the print log is empty"
            grep -qv '^{"x":0,"y":0,"text":"[0-9]*"}$' prints.jsonl && fail "SIG$sig: a torn print log line"
            [ "$(tail -c 1 prints.jsonl)" = "}" ] || [ "$(tail -c 2 prints.jsonl | head -c 1)" = "}" ] \
                || fail "SIG$sig: the print log ends mid-line"
            [ "$(head -c 4 shot.png | tail -c 3)" = PNG ] || fail "SIG$sig: no screenshot"
        done ;;
    help_write_error)  # help and version that cannot be written say so
        "$TESSEL" --help >/dev/full 2>err.txt && fail "--help into a full disk exited 0"
        said "cannot write the help"
        "$TESSEL" --version >/dev/full 2>err.txt && fail "--version into a full disk exited 0"
        said "cannot write the version" ;;
    *) fail "unknown case" ;;
esac
echo "ok ($CASE)"
