#!/usr/bin/env bash
# Real-window tests: runs the window backend under its own Xvfb server and
# drives it as a person would, with xdotool (mouse, keys) and ImageMagick
# (screenshots of the window). Needs: Xvfb, xdotool, import, convert.
#
#   scripts/window-tests.sh build/tessel
#
# Part one drives tests/window/window_driver (the backend with a tiny window
# procedure); part two runs the scripts in tests/window/ through tessel.
set -uo pipefail

# Xvfb for CTest's fixture: "start-x STATE" starts a server on a free
# display and writes its number and process id to STATE; "stop-x STATE"
# ends it. Window cases then run one at a time on that server:
#   scripts/window-tests.sh run STATE TESSEL GROUP
# Without a subcommand every group runs on a server of its own:
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

# ---------------------------------------------------------------------------
# The window backend alone (window_driver)

driver_session() {
    local out="$WORK/driver.out" rec="$WORK/driver.events"
    "$DRIVER" --record "$rec" >"$out" 2>"$WORK/driver.err" &
    local pid=$!
    PIDS+=("$pid")
    wait_line "$out" '^ready' || { fail "driver did not start: $(cat "$WORK/driver.err")"; return; }
    local win
    win=$(wait_window "$TITLE") || { fail "no main window titled Tesselv11_31_8_2023"; return; }
    local geometry
    geometry=$(xdotool getwindowgeometry "$win" | grep Geometry)
    [[ "$geometry" == *800x600* ]] && pass "window is 800x600" || fail "window $geometry"
    # No window manager under Xvfb: the window stays where it was asked to be.
    local position
    position=$(xdotool getwindowgeometry "$win" | grep Position)
    [[ "$position" == *" 0,0 "* ]] && pass "window opens at the screen's top-left corner" || fail "window $position"

    xdotool windowfocus --sync "$win"
    xdotool mousemove --window "$win" 50 60 click 1
    wait_line "$out" '^click 50 60$' && pass "left click reaches the window procedure" || fail "no click message"
    xdotool mousemove --window "$win" 70 60 click --repeat 2 --delay 40 1
    for _ in $(seq 100); do [ "$(grep -c '^click 70 60$' "$out")" -ge 2 ] && break; sleep 0.05; done
    [ "$(grep -c '^click 70 60$' "$out")" = 2 ] && pass "a quick second click is a second button-down" \
        || fail "double click: $(grep -c '^click 70 60$' "$out") button-downs"
    xdotool mousemove --window "$win" 90 60 click 3
    wait_line "$out" '^rclick 90 60$' && pass "right click" || fail "no right click"
    shot "$win" "$WORK/driver.png"
    [ "$(pixel "$WORK/driver.png" 55 65)" = "255,0,0" ] && [ "$(pixel "$WORK/driver.png" 95 65)" = "0,0,255" ] \
        && [ "$(pixel "$WORK/driver.png" 5 5)" = "0,255,0" ] && [ "$(pixel "$WORK/driver.png" 300 200)" = "255,255,255" ] \
        && pass "presented frame shows in the window" || fail "screenshot pixels wrong"

    press_in "$win" Left
    wait_line "$out" '^keydown 37$' && pass "keys reach a focused main window as key-downs" || fail "no keydown 37"
    press_in "$win" Return
    wait_line "$out" '^keydown 13$' && pass "Enter with the main window focused is a key" || fail "no keydown 13"

    # (X delivers the click before the typing: no pause is needed.)
    xdotool mousemove --window "$win" 210 310 click 1
    xdotool type --delay 20 'Hxi!'
    xdotool key Left Left BackSpace End
    xdotool type 'ok'
    xdotool key Return
    wait_line "$out" '^command 1 text=Hi!ok$' && pass "typing, caret keys and Enter in an input box" \
        || fail "input box: $(grep command "$out")"
    local box
    if box=$(wait_window '^Got it$'); then
        pass "message box window titled with its caption"
        # A slow (sanitized) build can show the box and take Enter inside one
        # timer period: confirm it only once a tick has run under it.
        wait_line "$out" '^tick in box$' || fail "no tick while the box is open"
        press_in "$box" Return
        wait_line "$out" '^box closed' && pass "Enter confirms the message box" || fail "box not confirmed"
        grep -q '^box closed ticks=yes' "$out" && pass "timer ticks go on while a box is open" || fail "no ticks during the box"
        wait_gone '^Got it$' && pass "the box is hidden again" || fail "box still shown"
    else
        fail "no message box"
    fi
    press_in "$win" Escape
    wait_line "$out" '^command 2' && pass "Escape in the input box is command 2" || fail "no command 2"

    xdotool mousemove --window "$win" 500 60 click 3
    if wait_line "$out" '^aborted$'; then
        wait_gone '^Throwing$' && pass "a box a window procedure throws through is hidden" || fail "thrown-through box stays"
        xdotool mousemove --window "$win" 30 500 click 1
        wait_line "$out" '^click 30 500$' && pass "the message loop goes on after the throw" || fail "no click after the throw"
    else
        fail "the throwing box: $(tail -2 "$out")"
    fi

    kill -TERM "$pid"
    finish "$pid" 3
    [ "$STATUS" = 0 ] && grep -q '^close$' "$out" && pass "a close request ends the program" || fail "close: status $STATUS"
    grep -q '^click 50 60$' "$rec" && grep -q '^type ' "$rec" && grep -q '^wait ' "$rec" && grep -q '^close$' "$rec" \
        && pass "--record writes a replayable events file" || fail "record file: $(head -5 "$rec")"
}

busy_close() {
    "$DRIVER" --busy >"$WORK/busy.out" 2>&1 &
    local pid=$!
    PIDS+=("$pid")
    wait_line "$WORK/busy.out" '^ready' || { fail "busy driver did not start"; return; }
    kill -TERM "$pid"
    finish "$pid" 3
    [ "$STATUS" = 0 ] && pass "a loop that services no messages is still closed" || fail "busy loop: $STATUS"
}

# ---------------------------------------------------------------------------
# Scripts in a window (tessel)

# start_script NAME: runs tests/window/NAME.tsl in a window, confirms the
# count report box, and leaves the main window id in $WIN and pid in $PID.
start_script() {
    local name=$1
    shift
    "$TESSEL" --box-log "$WORK/$name.boxes" --print-log "$WORK/$name.prints" "$@" \
        "$CASES/$name.tsl" >"$WORK/$name.out" 2>&1 &
    PID=$!
    PIDS+=("$PID")
    local kiv
    kiv=$(wait_window '^Kiv$') || { fail "$name: no count report box"; return 1; }
    press_in "$kiv" Return
    wait_gone '^Kiv$' || { fail "$name: count report box stays"; return 1; }
    WIN=$(wait_window "$TITLE") || { fail "$name: no main window"; return 1; }
}

# stop_script NAME: ends the run with SIGTERM, which tessel honours as a
# close once its logs and screenshot are written; it exits with 128 + 15.
stop_script() {
    kill -TERM "$PID"
    finish "$PID" 3
    [ "$STATUS" = 143 ] && pass "$1: SIGTERM ended the window run, exit status 143" || fail "$1: exit status $STATUS"
}

# same_as_headless NAME WINDOW|PNG EVENTS: the window comes to show exactly
# what a headless run of the same events saves as its screenshot (a window
# id is shot until it does; its last shot stays in $WORK/NAME.png).
same_as_headless() {
    local name=$1 source=$2 events=$3
    printf '%s\nscreenshot %s\n' "$events" "$WORK/$name.headless.png" >"$WORK/$name.events"
    "$TESSEL" --headless --events "$WORK/$name.events" "$CASES/$name.tsl" >/dev/null 2>&1
    local diff=""
    for _ in $(seq 100); do
        if [[ "$source" == *.png ]]; then cp "$source" "$WORK/$name.png"; else shot "$source" "$WORK/$name.png"; fi
        diff=$(compare -metric AE "$WORK/$name.png" "$WORK/$name.headless.png" null: 2>&1)
        [ "$diff" = 0 ] || [[ "$source" == *.png ]] && break
        sleep 0.05
    done
    [ "$diff" = 0 ] && pass "$name: window matches the headless screenshot pixel for pixel" \
        || fail "$name: $diff pixels differ from the headless run"
}

group_click_draw() {
    start_script click_draw || return
    shot "$WIN" "$WORK/before.png"
    [ "$(pixel "$WORK/before.png" 400 300)" = "0,0,255" ] && pass "click_draw: main run drew blue" \
        || fail "click_draw: before click $(pixel "$WORK/before.png" 400 300)"
    xdotool windowfocus --sync "$WIN"
    xdotool mousemove --window "$WIN" 100 100 click 1
    wait_pixel "$WIN" 400 300 "255,0,0" && pass "click_draw: the click block drew red" \
        || fail "click_draw: after click $(pixel "$WORK/wait.png" 400 300)"
    cp "$WORK/wait.png" "$WORK/after.png"
    same_as_headless click_draw "$WORK/after.png" "click 100 100"
    stop_script click_draw
}

# W16: a click on the main window outside the input box takes the keys
# back: Enter no longer reaches the box as command 1 but the main window.
group_focus_back() {
    start_script focus_back || return
    xdotool windowfocus --sync "$WIN"
    xdotool mousemove --window "$WIN" 500 500 click 1
    xdotool key Return
    stop_script focus_back
    grep -q '"text":"key"' "$WORK/focus_back.prints" && ! grep -q '"text":"command' "$WORK/focus_back.prints" \
        && pass "focus_back: a click on the main window takes the focus from the input box" \
        || fail "focus_back: prints $(cat "$WORK/focus_back.prints" 2>/dev/null)"
}

group_input_box() {
    start_script input_box --record "$WORK/input_box.recorded" || return
    xdotool windowfocus --sync "$WIN"
    xdotool mousemove --window "$WIN" 110 110 click 1
    xdotool type --delay 20 'Hi!'
    xdotool key Return
    same_as_headless input_box "$WIN" "$(printf 'click 110 110\ntype Hi!\nkeydown 13')"
    stop_script input_box  # the print log is complete once the program has ended
    grep -q '"text":"Hi!"' "$WORK/input_box.prints" && pass "input_box: Enter ran the command block, GETTEXT read the text" \
        || fail "input_box: prints $(cat "$WORK/input_box.prints" 2>/dev/null)"
    # The recorded session replays headless to the same result.
    "$TESSEL" --headless --events "$WORK/input_box.recorded" --print-log "$WORK/replay.prints" \
        "$CASES/input_box.tsl" >/dev/null 2>&1
    cmp -s "$WORK/input_box.prints" "$WORK/replay.prints" && pass "input_box: the --record file replays with --events" \
        || fail "input_box: replay printed $(cat "$WORK/replay.prints" 2>/dev/null)"
}

# The demo: SETFOCUS gives its input box the keys. DOCS_SHOT=FILE keeps
# the window's screenshot (docs/demo.png was made this way).
group_demo() {
    start_script demo || return
    xdotool windowfocus --sync "$WIN"
    xdotool type --delay 20 'Ada'
    xdotool key Return
    xdotool mousemove --window "$WIN" 790 590
    same_as_headless demo "$WIN" "$(printf 'type Ada\nkeydown 13')"
    [ -n "${DOCS_SHOT:-}" ] && cp "$WORK/demo.png" "$DOCS_SHOT"
    stop_script demo
}

group_endless() {
    start_script endless || return
    stop_script endless
    # SIGINT as a terminal's Ctrl-C sends it (to a job of its own, which a
    # shell does not make ignore it): the busy run stops, its screenshot saved.
    set -m
    start_script endless --screenshot "$WORK/endless.png"
    local started=$?
    set +m
    [ "$started" = 0 ] || return
    kill -INT "$PID"
    finish "$PID" 3
    [ "$STATUS" = 130 ] && [ "$(head -c 4 "$WORK/endless.png" | tail -c 3)" = PNG ] \
        && pass "endless: SIGINT ended the busy run with its screenshot, exit status 130" \
        || fail "endless: SIGINT: exit status $STATUS"
}

group_message_box() {
    start_script message_box || return
    local box
    box=$(wait_window '^Type Error!$') || { fail "message_box: no Type Error! box"; stop_script message_box; return; }
    press_in "$box" Return
    wait_gone '^Type Error!$' && pass "message_box: Enter dismissed the box" || fail "message_box: box stays"
    wait_pixel "$WIN" 400 300 "0,255,0" && pass "message_box: the run went on after the box" \
        || fail "message_box: after the box $(pixel "$WORK/wait.png" 400 300)"
    stop_script message_box
}

# Clicks that arrive while the slow move block runs are held, not lost:
# moving and clicking ten times at once runs the click block ten times, and
# the recording (its seed line first) replays headless to the same picture.
group_held_clicks() {
    local rec="$WORK/held_clicks.recorded"
    start_script held_clicks --record "$rec" || return
    xdotool windowfocus --sync "$WIN"
    for i in $(seq 10); do xdotool mousemove --window "$WIN" $((100 + i * 20)) 300 click 1; done
    # The tenth square is at x = 280; RAND could paint it white only by a
    # 1-in-16-million chance.
    for _ in $(seq 200); do
        shot "$WIN" "$WORK/held.png" && [ "$(pixel "$WORK/held.png" 292 22)" != "255,255,255" ] && break
        sleep 0.05
    done
    [ "$(pixel "$WORK/held.png" 292 22)" != "255,255,255" ] && [ "$(pixel "$WORK/held.png" 322 22)" = "255,255,255" ] \
        && pass "held_clicks: ten clicks during move blocks ran the click block ten times" \
        || fail "held_clicks: squares 10 and 11 show $(pixel "$WORK/held.png" 292 22) and $(pixel "$WORK/held.png" 322 22)"
    stop_script held_clicks
    [ "$(grep -c '"text"' "$WORK/held_clicks.prints")" = 10 ] && pass "held_clicks: ten prints" \
        || fail "held_clicks: prints $(cat "$WORK/held_clicks.prints" 2>/dev/null)"
    head -1 "$rec" | grep -q '^seed [0-9][0-9]*$' && pass "held_clicks: the recording starts with its seed" \
        || fail "held_clicks: recording begins $(head -1 "$rec")"
    same_as_headless held_clicks "$WORK/held.png" "$(grep -v '^close$' "$rec")"
}

ALL_GROUPS=(driver_session busy_close click_draw focus_back input_box demo endless message_box held_clicks)
[ ${#GROUPS_TO_RUN[@]} -gt 0 ] || GROUPS_TO_RUN=("${ALL_GROUPS[@]}")
echo "window tests on $DISPLAY"
for group in "${GROUPS_TO_RUN[@]}"; do
    echo "$group:"
    case "$group" in
        driver_session | busy_close) "$group" ;;
        *) "group_$group" ;;
    esac
done

echo "window tests: $PASSED passed, $FAILED failed"
[ "$FAILED" = 0 ] && [ "$PASSED" -gt 0 ]
