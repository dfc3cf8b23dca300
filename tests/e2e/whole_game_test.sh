#!/bin/sh
# A whole short game with real 200 ms steps: 9 marbles, Dr. Zop starts, the
# player always takes two.  Dr. Zop wins; 'n' at the replay question ends the
# program with status 0 and the terminal as it was.  While it waits for a key
# it uses no CPU.  With a second argument, the stand-ins' library, the game is
# played where poll() refuses terminals, as macOS's does.
# Usage: whole_game_test.sh ZOP [STANDINS_LIBRARY]
set -u
name=whole-game zop=$1
. "$(dirname "$0")/lib.sh"

if [ -n "${2:-}" ]; then
    zop="env LD_PRELOAD=$2 ZOP_STANDIN=poll-refuses-terminals $zop"
fi
start_in_pane 81 46 "$zop"
wait_for_text "Ready for new game" || fail "no first screen"
wait_for_key_wait || fail "the game does not wait for a key"
ticks=$(cpu_ticks "$(program_pid)")
sleep 2
[ $(( $(cpu_ticks "$(program_pid)") - ticks )) -le 1 ] || fail "the game used CPU time while it waited for a key"
for i in 1 2 3 4 5 6; do tm send-keys Down; done
wait_for_text "Ball Count │9 │" 2 || fail "the count did not come down to 9"
tm send-keys n g
wait_for_text "Received Go command." 2 || fail "no Go"
# Each turn's keys go in once the turn before has ended, as a player's would.
wait_for_lines "took:" 1 15 || fail "the machine's first turn did not end"
tm send-keys b b n
wait_for_lines "took:" 3 30 || fail "the player's and the machine's next turns did not end"
tm send-keys b b n
wait_for_text "Would you like to play again?[Y/N/ESC]" 60 || fail "the game did not end"
tm capture-pane -p >"$work/end"
grep -F "took" "$work/end" | sed 's/^ *│ *//; s/ *│$//' >"$work/turns"
printf '%s\n' "Zop took: 1" "You took: 2" "Zop took: 1" "You took: 2" "Zop took: 2" >"$work/expected"
diff "$work/expected" "$work/turns" || fail "the turns differ"
grep -qF "Dr. Zop wins! Well done, Dr. Zop!" "$work/end" || fail "no winner line"
grep -qF "Ball Count │1 │" "$work/end" || fail "the count does not show 1"

tm send-keys n
expect_ended_cleanly 0
echo "whole game: all checks passed"
