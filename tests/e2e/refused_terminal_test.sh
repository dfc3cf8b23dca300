#!/bin/sh
# A terminal the game cannot play on: TERM=dumb, which cannot place the
# cursor, and TERM unset or empty.  The game says why in one line on standard
# error, naming TERM, ends with status 1, writes nothing to standard output,
# and sends the terminal not a byte (read off the pane with pipe-pane).  A
# TERM with no terminfo entry plays, as a plain ANSI terminal.
set -u
name=refused zop=$1
. "$(dirname "$0")/lib.sh"

# Runs the game with the environment given ($@ for env) in a pane, with its
# standard output and error in files; it finds the pane as /dev/tty.  The pane
# starts it once all it shows is piped to $work/sent, and shows a mark of its
# own after it: all that came before the mark came from the game.
run_refused() {
    tm new-session -d -s zop -x 81 -y 46 "until [ -f $work/go ]; do sleep 0.05; done;
        env $* $zop >$work/out 2>$work/err; echo \$? >$work/status; echo END-OF-GAME; sleep 600" ||
        fail "tmux would not start"
    tm pipe-pane -t zop -o "cat >$work/sent"
    touch "$work/go"
    retry 10 grep -q END-OF-GAME "$work/sent" 2>/dev/null || fail "the game did not end with $*"
    [ "$(cat "$work/status")" = 1 ] || fail "with $*, exit status $(cat "$work/status"), not 1"
    [ "$(wc -l <"$work/err")" = 1 ] || fail "with $*, not one line on standard error: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "with $*, it wrote to standard output"
    # The mark and its line end are all the pane may have shown.
    [ "$(wc -c <"$work/sent")" -eq 13 ] ||
        fail "with $*, it sent the terminal: $(od -c "$work/sent" | head -n 3)"
    echo "$*: \"$(cat "$work/err")\""
    next_pane
    rm -f "$work/status" "$work/sent" "$work/go"
}

run_refused TERM=dumb
grep -q "^zop: .*TERM=dumb.*zop --lines" "$work/err" || fail "the line does not name TERM=dumb and --lines"
run_refused -u TERM
grep -q "^zop: TERM is not set.*zop --lines" "$work/err" || fail "the line does not say that TERM is not set"
run_refused TERM=
grep -q "^zop: TERM is not set.*zop --lines" "$work/err" || fail "the line does not say that TERM is not set"

start_in_pane 81 46 env TERM=no-such-terminal "$zop"
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen for TERM=no-such-terminal"
tm send-keys Escape
expect_ended_cleanly 0
echo "refused terminals: all checks passed"
