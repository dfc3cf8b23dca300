#!/bin/sh
# Every way a signal ends the game: Ctrl-C typed, and SIGTERM, SIGHUP, SIGQUIT,
# SIGSEGV and SIGABRT sent to it, at the setup's key wait and (SIGTERM and
# SIGSEGV again) while a marble rolls and the screen changes 5 times a second.
# Each time the game ends with that signal's usual status (128 + its number)
# and leaves the terminal as it found it: settings, cursor, colours, the
# shell's screen and its title.
set -u
name=signals zop=$1
. "$(dirname "$0")/lib.sh"

# Starts the game and waits for its first screen (and, with "rolling", for a marble to roll).
start_game() {
    next_pane
    start_in_pane 81 46 "$zop"
    wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
    if [ "${1:-}" = rolling ]; then
        tm send-keys p g b
        wait_for_text "Ball Count │14│" 5 || fail "no marble rolled"
    fi
}

start_game
tm send-keys C-c
expect_ended_cleanly 130
echo "Ctrl-C: the terminal is restored, status 130"

for way in TERM:143 HUP:129 QUIT:131 SEGV:139 ABRT:134 TERM:143:rolling SEGV:139:rolling; do
    signal=${way%%:*} rest=${way#*:}
    status=${rest%%:*} moment=${rest#*:}
    [ "$moment" = "$rest" ] && moment=waiting
    start_game "$moment"
    kill -s "$signal" "$(program_pid)"
    expect_ended_cleanly "$status"
    echo "SIG$signal while $moment: the terminal is restored, status $status"
done
echo "signals: all checks passed"
