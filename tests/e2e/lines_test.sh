#!/bin/sh
# The game told in lines (zop --lines) and played by a small program through
# a pipe pair: it reads the lines and answers with keys, each answer a line,
# once the lines ask for them.  The game is whole_game_test.sh's (9 marbles,
# Dr. Zop starts, the player always takes two), and what it tells is the
# manual's example of a whole game, line for line, with no byte below 0x20
# but line feeds.  Then the same game on a pseudo-terminal with TERM=dumb,
# its keys typed: it tells the same, and leaves the terminal as it found it.
# Usage: lines_test.sh ZOP MANUAL_SOURCE
set -u
name=lines zop=$1 manual=$2
. "$(dirname "$0")/lib.sh"

# The manual's example of a whole game: the lines between .EX and .EE after its mark.
sed -n '/^\.\\" The transcript of a whole game/,/^\.EE/p' "$manual" | sed '1,/^\.EX/d; /^\.EE/d' |
    sed 's/ *$//' >"$work/expected"
[ -s "$work/expected" ] || fail "the manual has no example of a whole game"

# The player: answers the setup, each of its turns and the replay question.
play_from_lines() {
    while IFS= read -r line; do
        case $line in
        "New game: "*) printf '\033[B\033[B\033[B\033[B\033[B\033[B\nn\ng\n' ;;
        "Your turn: "*) printf 'b\nb\nn\n' ;;
        "Would you like to play again?"*) printf 'n\n' ;;
        esac
    done
}

mkfifo "$work/keys" "$work/told"
{
    "$zop" --lines <"$work/keys" 2>"$work/err"
    echo $? >"$work/status"
} | tee "$work/raw" >"$work/told" &
play_from_lines <"$work/told" >"$work/keys"
wait
[ "$(cat "$work/status")" = 0 ] || fail "through pipes, exit status $(cat "$work/status"), not 0"
[ ! -s "$work/err" ] || fail "through pipes, it wrote to standard error: $(cat "$work/err")"
[ "$(LC_ALL=C tr -d '\n\040-\377' <"$work/raw" | wc -c)" = 0 ] ||
    fail "through pipes, it wrote control bytes: $(od -c "$work/raw" | grep -m 3 '\\[0-9abefrt]')"
sed 's/ *$//' "$work/raw" | diff "$work/expected" - ||
    fail "through pipes, the game was told otherwise than in the manual"
echo "through a pipe pair: the manual's game, line for line"

# On a terminal that cannot place the cursor, keys typed as a player types them.
shares_screen=1
start_in_pane 81 90 env TERM=dumb "$zop" --lines
wait_for_text "New game: " || fail "on TERM=dumb, no first lines"
tm send-keys Down Down Down Down Down Down n g
wait_for_lines "Your turn: " 1 30 || fail "on TERM=dumb, the machine's first turn did not end"
tm send-keys b b n
wait_for_lines "Your turn: " 2 60 || fail "on TERM=dumb, the next two turns did not end"
tm send-keys b b n
wait_for_text "Would you like to play again?" 60 || fail "on TERM=dumb, the game did not end"
tm send-keys n
expect_ended_cleanly 0
tm capture-pane -p -S - | sed -n '/^Game of Zop$/,/^Keys: Y, /p' | diff "$work/expected" - ||
    fail "on TERM=dumb, the game was told otherwise than in the manual"
echo "game in lines: all checks passed"
