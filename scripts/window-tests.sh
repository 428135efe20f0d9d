#!/usr/bin/env bash
# Real-window tests: runs the window backend under its own Xvfb server and
# drives it as a person would, with xdotool (mouse, keys) and ImageMagick
# (screenshots of the window). Needs: Xvfb, xdotool, import, convert.
#
#   scripts/window-tests.sh build/tessel
#
# The cases and what they expect live in tests/window/ (see "The cases"
# below): this script only drives them.
set -uo pipefail

# Xvfb for CTest's fixture: "start-x STATE" starts a server on a free
# display and writes its number and process id to STATE; "stop-x STATE"
# ends it. Window cases then run one at a time on that server:
#   scripts/window-tests.sh run STATE TESSEL CASE
# Without a subcommand every case runs on a server of its own:
#   scripts/window-tests.sh build/tessel

start_x() {
    local state=$1
    rm -f "$state" "$state.display"
    # Its own session, its output to files: the server outlives this script.
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
        3>"$state.display" >"$state.log" 2>&1 </dev/null &
    local pid=$!
    for _ in $(seq 200); do [ -s "$state.display" ] && break; sleep 0.05; done
    [ -s "$state.display" ] || { echo "window tests: Xvfb did not start"; cat "$state.log"; return 1; }
    echo "$(head -1 "$state.display") $pid" >"$state"
}

stop_x() {
    local state=$1
    [ -s "$state" ] || return 0
    kill "$(cut -d' ' -f2 "$state")" 2>/dev/null
    rm -f "$state" "$state.display"
}

case "${1:-}" in
    start-x) start_x "$2"; exit ;;
    stop-x) stop_x "$2"; exit ;;
    run) STATE=$2; shift 2; GROUPS_TO_RUN=("${@:2}") ;;
    *) STATE=""; GROUPS_TO_RUN=() ;;
esac

TESSEL=$(realpath "${1:-build/tessel}")
BUILD=$(dirname "$TESSEL")
DRIVER="$BUILD/tests/window_driver"
ROOT=$(cd "$(dirname "$0")/.." && pwd)
CASES="$ROOT/tests/window"
TITLE='^Tesselv11_31_8_2023$'

for tool in Xvfb xdotool import convert compare; do
    command -v "$tool" >/dev/null || { echo "window tests: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done
[ -x "$DRIVER" ] || { echo "window tests: $DRIVER not built"; exit 1; }

WORK=$(mktemp -d "${TMPDIR:-/tmp}/tessel-window-tests.XXXXXX")
PIDS=()          # processes this script started, ended on exit
OWN_X=""         # the server this script started itself

cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    [ -n "$OWN_X" ] && stop_x "$OWN_X"
    wait 2>/dev/null
    if [ -n "${KEEP_WORK:-}" ]; then echo "window tests: files kept in $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

if [ -z "$STATE" ]; then
    OWN_X="$WORK/x"
    start_x "$OWN_X" || exit 1
    STATE=$OWN_X
fi
[ -s "$STATE" ] || { echo "window tests: no X server (start-x has not run)"; exit 1; }
export DISPLAY=":$(cut -d' ' -f1 "$STATE")"
unset WAYLAND_DISPLAY

FAILED=0
PASSED=0
fail() { echo "  FAIL: $*"; FAILED=$((FAILED + 1)); }
pass() { echo "  ok: $*"; PASSED=$((PASSED + 1)); }

# wait_window REGEX: prints the id of the visible window whose name matches.
wait_window() {
    for _ in $(seq 100); do
        local id
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.05
    done
    return 1
}

# wait_gone REGEX: waits until no visible window matches.
wait_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.05
    done
    return 1
}

# wait_line FILE PATTERN: waits until a line of FILE matches.
wait_line() {
    for _ in $(seq 100); do
        grep -q -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.05
    done
    return 1
}

# pixel FILE X Y: the pixel as "R,G,B".
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# wait_pixel WINDOW X Y RGB: waits until the window shows that colour there
# (the last screenshot stays in $WORK/wait.png).
wait_pixel() {
    for _ in $(seq 100); do
        shot "$1" "$WORK/wait.png" && [ "$(pixel "$WORK/wait.png" "$2" "$3")" = "$4" ] && return 0
        sleep 0.05
    done
    return 1
}

# shot WINDOW FILE: what the window shows, as PNG.
shot() { import -window "$1" "$2" 2>/dev/null; }

# press_in WINDOW KEY: focuses the window and presses the key.
press_in() { xdotool windowfocus --sync "$1" 2>/dev/null; xdotool key --clearmodifiers "$2"; }

# finish PID SECONDS: waits for the process to end; sets STATUS to its exit
# status or "hung". (Not in a subshell: only this shell can wait for it.)
finish() {
    local pid=$1
    STATUS=hung
    for _ in $(seq $(( $2 * 20 ))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            STATUS=$?
            return
        fi
        sleep 0.05
    done
}

# same_as_headless WINDOW|PNG EVENTS: the window comes to show exactly what
# a headless run of the case's script with the same events saves as its
# screenshot (a window id is shot until it does; its last shot stays in
# $WORK/CASE.png).
same_as_headless() {
    local source=$1 events=$2
    printf '%s\nscreenshot %s\n' "$events" "$WORK/$CASE.headless.png" >"$WORK/$CASE.events"
    "$TESSEL" --headless --events "$WORK/$CASE.events" "$SCRIPT" >/dev/null 2>&1
    local diff=""
    for _ in $(seq 100); do
        if [[ "$source" == *.png ]]; then cp "$source" "$WORK/$CASE.png"; else shot "$source" "$WORK/$CASE.png"; fi
        diff=$(compare -metric AE "$WORK/$CASE.png" "$WORK/$CASE.headless.png" null: 2>&1)
        [ "$diff" = 0 ] || [[ "$source" == *.png ]] && break
        sleep 0.05
    done
    [ "$diff" = 0 ] || { WHY="$diff pixels differ from the headless run"; return 1; }
}

# ---------------------------------------------------------------------------
# The cases: tests/window/NAME.tsl runs through tessel, its steps in its
# "' window:" comment lines; tests/window/NAME.steps drives window_driver
# (the backend with a tiny window procedure), a step a line. A step is an
# action or an expectation; a word @FILE names a file of the case's scratch
# folder. A failed action ends the case; a failed expectation is reported
# and the case goes on.
#
#   start [ARGS]          run the script in a window with ARGS, confirm the
#                         count report box (start-job: as a job of its own,
#                         which Ctrl-C's SIGINT reaches)
#   driver [ARGS]         run window_driver; main: wait for its main window
#   client PROGRAM        run a test program of the build that drives tessel
#                         itself (its failures shown; expect exit checks it)
#   focus | click X Y | rclick X Y | click2 X Y | move X Y | type TEXT
#   key KEY... | press KEY   (press: focus the main window first)
#   box KEY CAPTION       press KEY in the message box titled CAPTION
#   signal SIG | stop N   (stop: SIGTERM, which must end the run with N)
#   docs-shot             keep the last shot in $DOCS_SHOT when it is set
#   expect pixel X Y R,G,B | expect not-pixel X Y R,G,B   (the window comes to show it)
#   expect line REGEX | expect count N REGEX   (the driver's output)
#   expect window CAPTION | expect gone CAPTION | expect geometry WxH | expect position X,Y
#   expect exit N | expect png FILE | expect file FILE REGEX | expect first-line FILE REGEX
#   expect print TEXT | expect no-print PREFIX | expect prints N   (the print log, once ended)
#   expect same-window EVENT; ...   the window comes to show what a headless run shows
#   expect same-shot EVENT; ...     so does the last shot
#   expect same-shot-replay FILE    ... replaying the recording FILE
#   expect replay FILE    the recording FILE replays headless to the same prints

# start ARGS...: runs the case's script in a window; leaves its pid in $PID
# and the main window in $WIN.
start() {
    "$TESSEL" --box-log "$WORK/$CASE.boxes" --print-log "$PRINTS" "$@" "$SCRIPT" >"$WORK/$CASE.out" 2>&1 &
    PID=$!
    PIDS+=("$PID")
    local kiv
    kiv=$(wait_window '^Kiv$') || { WHY="no count report box"; return 1; }
    press_in "$kiv" Return
    wait_gone '^Kiv$' || { WHY="the count report box stays"; return 1; }
    WIN=$(wait_window "$TITLE") || { WHY="no main window"; return 1; }
}

driver() {
    OUT="$WORK/$CASE.out"
    "$DRIVER" "$@" >"$OUT" 2>"$WORK/$CASE.err" &
    PID=$!
    PIDS+=("$PID")
    wait_line "$OUT" '^ready' || { WHY="the driver did not start: $(cat "$WORK/$CASE.err")"; return 1; }
}

# act VERB ARGS...: one action; false (the reason in $WHY) when it failed.
act() {
    local verb=$1
    shift
    case "$verb" in
        start) start "$@" ;;
        start-job) set -m; start "$@"; local started=$?; set +m; return $started ;;
        driver) driver "$@" ;;
        client)
            OUT="$WORK/$CASE.out"
            "$BUILD/tests/$1" >"$OUT" 2>&1
            STATUS=$?
            [ "$STATUS" = 0 ] || grep -B2 -A6 'Failure' "$OUT" | head -40 ;;
        main) WIN=$(wait_window "$TITLE") || { WHY="no main window titled ${TITLE//[\^\$]/}"; return 1; } ;;
        focus) xdotool windowfocus --sync "$WIN" ;;
        click) xdotool mousemove --window "$WIN" "$1" "$2" click 1 ;;
        rclick) xdotool mousemove --window "$WIN" "$1" "$2" click 3 ;;
        click2) xdotool mousemove --window "$WIN" "$1" "$2" click --repeat 2 --delay 40 1 ;;
        move) xdotool mousemove --window "$WIN" "$1" "$2" ;;
        type) xdotool type --delay 20 "$*" ;;
        key) xdotool key "$@" ;;
        press) press_in "$WIN" "$1" ;;
        box)
            local key=$1 id
            shift
            id=$(wait_window "^$*\$") || { WHY="no box titled $*"; return 1; }
            press_in "$id" "$key" ;;
        signal) kill -"$1" "$PID"; finish "$PID" 3 ;;
        stop) kill -TERM "$PID"; finish "$PID" 3; expect exit "$1" ;;
        docs-shot) [ -z "${DOCS_SHOT:-}" ] || cp "$WORK/$CASE.png" "$DOCS_SHOT" ;;
        *) WHY="unknown step"; return 1 ;;
    esac
}

# expect WHAT ARGS...: one expectation, reported as passed or failed.
expect() {
    local what=$1 step="expect $*"
    shift
    WHY=""
    if check "$what" "$@"; then pass "$CASE: $step"; else fail "$CASE: $step${WHY:+ ($WHY)}"; fi
}

check() {
    local what=$1
    shift
    case "$what" in
        pixel) wait_pixel "$WIN" "$1" "$2" "$3" || { WHY="shows $(pixel "$WORK/wait.png" "$1" "$2")"; return 1; } ;;
        not-pixel)
            for _ in $(seq 200); do
                shot "$WIN" "$WORK/wait.png" && [ "$(pixel "$WORK/wait.png" "$1" "$2")" != "$3" ] && return 0
                sleep 0.05
            done
            return 1 ;;
        line) wait_line "$OUT" "$*" || { WHY="last lines: $(tail -2 "$OUT" | tr '\n' '|')"; return 1; } ;;
        count)
            local n=$1 re
            shift
            re="$*"
            for _ in $(seq 100); do [ "$(grep -c -- "$re" "$OUT")" -ge "$n" ] && break; sleep 0.05; done
            [ "$(grep -c -- "$re" "$OUT")" = "$n" ] || { WHY="$(grep -c -- "$re" "$OUT") came"; return 1; } ;;
        window) wait_window "^$*\$" >/dev/null ;;
        gone) wait_gone "^$*\$" ;;
        geometry) WHY=$(xdotool getwindowgeometry "$WIN" | grep Geometry); [[ "$WHY" == *"$1"* ]] ;;
        position) WHY=$(xdotool getwindowgeometry "$WIN" | grep Position); [[ "$WHY" == *" $1 "* ]] ;;
        exit) [ "$STATUS" = "$1" ] || { WHY="exit status $STATUS"; return 1; } ;;
        png) [ "$(head -c 4 "$1" | tail -c 3)" = PNG ] ;;
        file) grep -q -- "${*:2}" "$1" || { WHY="$(head -3 "$1" | tr '\n' '|')"; return 1; } ;;
        first-line) head -1 "$1" | grep -q -- "${*:2}" || { WHY="begins $(head -1 "$1")"; return 1; } ;;
        print) grep -qF "\"text\":\"$*\"" "$PRINTS" || { WHY="prints $(cat "$PRINTS" 2>/dev/null)"; return 1; } ;;
        no-print) ! grep -qF "\"text\":\"$*" "$PRINTS" || { WHY="prints $(cat "$PRINTS")"; return 1; } ;;
        prints) [ "$(grep -c '"text"' "$PRINTS")" = "$1" ] || { WHY="prints $(cat "$PRINTS" 2>/dev/null)"; return 1; } ;;
        same-window) same_as_headless "$WIN" "$(events_of "$*")" ;;
        same-shot) same_as_headless "$WORK/wait.png" "$(events_of "$*")" ;;
        same-shot-replay) same_as_headless "$WORK/wait.png" "$(grep -v '^close$' "$1")" ;;
        replay)
            "$TESSEL" --headless --events "$1" --print-log "$WORK/$CASE.replay.prints" "$SCRIPT" >/dev/null 2>&1
            cmp -s "$PRINTS" "$WORK/$CASE.replay.prints" \
                || { WHY="the replay printed $(cat "$WORK/$CASE.replay.prints" 2>/dev/null)"; return 1; } ;;
        *) WHY="unknown expectation"; return 1 ;;
    esac
}

# "EVENT; EVENT" as the lines of an events file.
events_of() { sed 's/ *; */\n/g' <<<"$1"; }

# run_case NAME: the steps of tests/window/NAME.tsl or NAME.steps, in order.
run_case() {
    CASE=$1
    SCRIPT="" OUT="" PID="" WIN="" STATUS="" PRINTS="$WORK/$1.prints"
    local steps=()
    if [ -f "$CASES/$CASE.tsl" ]; then
        SCRIPT="$CASES/$CASE.tsl"
        mapfile -t steps < <(sed -n "s/^' window: //p" "$SCRIPT")
    elif [ -f "$CASES/$CASE.steps" ]; then
        mapfile -t steps < <(grep -v '^[[:space:]]*\(#\|$\)' "$CASES/$CASE.steps")
    fi
    [ ${#steps[@]} -gt 0 ] || { fail "$CASE: no such case, or a case without steps"; return; }
    local step words
    for step in "${steps[@]}"; do
        read -ra words <<<"$step"
        words=("${words[@]/#@/$WORK/}")
        if [ "${words[0]}" = expect ]; then
            expect "${words[@]:1}"
        else
            WHY=""
            act "${words[@]}" || { fail "$CASE: $step${WHY:+ ($WHY)}"; return; }
        fi
    done
}

ALL_CASES=()
for f in "$CASES"/*.steps "$CASES"/*.tsl; do
    name=$(basename "${f%.*}")
    [ -f "$CASES/$name.tsl" ] && ! grep -q "^' window: " "$CASES/$name.tsl" && continue
    ALL_CASES+=("$name")
done
[ ${#GROUPS_TO_RUN[@]} -gt 0 ] || GROUPS_TO_RUN=("${ALL_CASES[@]}")
echo "window tests on $DISPLAY"
for group in "${GROUPS_TO_RUN[@]}"; do
    echo "$group:"
    run_case "$group"
done

echo "window tests: $PASSED passed, $FAILED failed"
[ "$FAILED" = 0 ] && [ "$PASSED" -gt 0 ]
