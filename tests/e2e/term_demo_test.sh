#!/bin/sh
# Runs term_demo in a tmux pane of 81 x 46 and checks what the terminal shows:
# the four frame styles as UTF-8 box drawing, the colours as SGR, the very
# last cell written without scrolling, the cursor hidden, the alternate
# screen on.  After the demo has gone, the terminal must be as before.
set -u
name=term-demo demo=$1
. "$(dirname "$0")/lib.sh"

# Expects a line of the plain capture to be exactly the given text.
expect_line() {
    sed -n "$1p" "$work/screen" | grep -qxF "$2" || fail "line $1 is not '$2'"
}

start_in_pane 81 46 "$demo" 20000
wait_for_text "╘════════╛" || fail "the demo drew no boxes"
sleep 0.3
tm capture-pane -p >"$work/screen"
expect_line 2 " ┌────────┐  ╔════════╗  ╓────────╖  ╒════════╕"
expect_line 3 " │        │  ║        ║  ║        ║  │        │"
expect_line 5 " └────────┘  ╚════════╝  ╙────────╜  ╘════════╛"
expect_line 7 " red green blue label grey"
expect_line 46 "                                                                                ┘"

tm capture-pane -p -e >"$work/colours"
for sgr in "${esc}[92m┌" "${esc}[91mred" "${esc}[94mblue" "${esc}[30m${esc}[102mlabel" \
    "${esc}[37m${esc}[40m grey"; do
    grep -qF "$sgr" "$work/colours" || fail "no colour sequence before '$sgr' (capture -e)"
done
[ "$(tm display -p '#{alternate_on}')" = 1 ] || fail "the demo is not on the alternate screen"
[ "$(tm display -p '#{cursor_flag}')" = 0 ] || fail "the cursor is not hidden during the demo"

tm send-keys x
expect_ended_cleanly 0
echo "term_demo in tmux: all checks passed"
