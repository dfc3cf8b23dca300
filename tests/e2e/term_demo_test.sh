#!/bin/sh
# Runs term_demo in a tmux pane of 81 x 46 and checks what the terminal shows:
# the four frame styles as UTF-8 box drawing, the colours as SGR, the very
# last cell written without scrolling, the cursor hidden, the alternate
# screen on.  After the demo has gone, the terminal must be as before: the
# cursor visible, the alternate screen off, the same `stty -a` settings.
# Needs no terminal and no standard input; exits 77 (skipped) without tmux.
set -u
demo=$1

if ! command -v tmux >/dev/null 2>&1; then
    echo "tmux is not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
socket="zop-term-demo-$$"
esc=$(printf '\033')

cleanup() {
    tmux -L "$socket" kill-server >/dev/null 2>&1
    rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    if [ -f "$work/screen" ]; then
        echo "--- screen:"
        cat "$work/screen"
    fi
    exit 1
}

tm() {
    tmux -u -L "$socket" -f /dev/null "$@"
}

# Waits up to 10 s for a command to succeed.
wait_for() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        [ "$tries" -ge 100 ] && return 1
        sleep 0.1
    done
}

pane_shows() {
    tm capture-pane -p >"$work/screen" 2>/dev/null && grep -qF "$1" "$work/screen"
}

# Expects a line of the plain capture to be exactly the given text.
expect_line() {
    sed -n "$1p" "$work/screen" | grep -qxF "$2" || fail "line $1 is not '$2'"
}

cat >"$work/run.sh" <<EOF
stty -a >"$work/before"
"$demo" 20000
echo \$? >"$work/status"
stty -a >"$work/after"
: >"$work/done"
exec sleep 60
EOF

export LC_ALL=C.UTF-8
tm new-session -d -x 81 -y 46 "sh $work/run.sh" || fail "tmux would not start"

wait_for pane_shows "╘════════╛" || fail "the demo drew no boxes"
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
wait_for test -f "$work/done" || fail "the demo did not end after a key"
[ "$(cat "$work/status")" = 0 ] || fail "the demo exited with status $(cat "$work/status")"
[ "$(tm display -p '#{alternate_on}')" = 0 ] || fail "the alternate screen is still on"
[ "$(tm display -p '#{cursor_flag}')" = 1 ] || fail "the cursor is still hidden"
diff "$work/before" "$work/after" || fail "stty -a differs after the demo"
echo "term_demo in tmux: all checks passed"
