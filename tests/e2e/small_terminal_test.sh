#!/bin/sh
# On an 80 x 24 terminal the game shows its notice; growing the terminal to
# 81 x 46 starts the game by itself.
set -u
name=small-terminal zop=$1
. "$(dirname "$0")/lib.sh"

start_in_pane 80 24 "$zop"
wait_for_text "Game of Zop needs 63 x 42." || fail "no notice on a small terminal"
wait_for_text "This screen is 80 x 24." 1 || fail "the notice does not give the size"
tm resize-window -t zop -x 81 -y 46
wait_for_text "Ready for new game. Waiting key commands..." || fail "the game did not start"
wait_for_text "Ball Count │15│" 1 || fail "no count panel"
tm send-keys Escape
expect_ended_cleanly 0
echo "small terminal: all checks passed"
