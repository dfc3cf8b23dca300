# Shared by the end-to-end tests: a program in a tmux pane of its own server,
# with what the terminal looked like before and after it, and its exit status.
# Source it after setting `name`; needs no terminal and no standard input.

if ! command -v tmux >/dev/null 2>&1; then
    echo "tmux is not installed: skipped"
    exit 77
fi

work=$(mktemp -d)
socket="zop-e2e-$name-$$"
esc=$(printf '\033')
export LC_ALL=C.UTF-8

cleanup() {
    tmux -L "$socket" kill-server >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

tm() {
    tmux -u -L "$socket" -f /dev/null "$@"
}

fail() {
    echo "FAIL: $*"
    tm capture-pane -p >"$work/screen" 2>/dev/null && { echo "--- screen:"; cat "$work/screen"; }
    exit 1
}

# Waits up to $2 seconds (default 10) for the pane to show a text.
wait_for_text() {
    tries=$(( ${2:-10} * 10 ))
    until tm capture-pane -p >"$work/screen" 2>/dev/null && grep -qF -- "$1" "$work/screen"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Waits up to $3 seconds for the pane to show a text on at least $2 lines.
wait_for_lines() {
    tries=$(( $3 * 10 ))
    until tm capture-pane -p >"$work/screen" 2>/dev/null &&
        [ "$(grep -cF -- "$1" "$work/screen")" -ge "$2" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

# Starts a command in a pane of the given size, from a shell line that has
# printed something first (so the program takes a screen of its own), noting
# the terminal settings before and after it and its exit status.
start_in_pane() {
    columns=$1 rows=$2
    shift 2
    cat >"$work/run.sh" <<SCRIPT
echo "the shell's own line"
stty -a >"$work/before"
$*
echo \$? >"$work/status"
stty -a >"$work/after"
exec sleep 600
SCRIPT
    tm new-session -d -s zop -x "$columns" -y "$rows" "sh $work/run.sh" || fail "tmux would not start"
}

# Expects the program to have ended with a status and left the terminal as it found it.
expect_ended_cleanly() {
    tries=100
    until [ -f "$work/after" ]; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "the program did not end"
        sleep 0.1
    done
    [ "$(cat "$work/status")" = "$1" ] || fail "exit status $(cat "$work/status"), not $1"
    [ "$(tm display -p '#{alternate_on}')" = 0 ] || fail "the alternate screen is still on"
    [ "$(tm display -p '#{cursor_flag}')" = 1 ] || fail "the cursor is still hidden"
    # The size may have changed on purpose; every setting must be as it was.
    sed 's/rows [0-9]*; columns [0-9]*;//' "$work/before" >"$work/before.settings"
    sed 's/rows [0-9]*; columns [0-9]*;//' "$work/after" >"$work/after.settings"
    diff "$work/before.settings" "$work/after.settings" || fail "stty -a differs after the program"
    wait_for_text "the shell's own line" 1 || fail "the shell's screen did not come back"
}
