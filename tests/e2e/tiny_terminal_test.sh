#!/bin/sh
# Terminals too small for the 63 x 42 layout: 1 x 1, 10 x 5, 40 x 20, 62 x 41.
# The real game ($1) shows its notice where it fits, and ESC there ends it
# cleanly.  Any other key plays anyway: a whole game (9 marbles, Dr. Zop
# starts, the player takes 2 each turn, Dr. Zop wins, 'n' at the question)
# runs to its end at every size, played on the game with 20 ms marble steps
# ($2), each turn's keys typed once the game waits for them.
set -u
name=tiny-terminal zop=$1 quick_zop=$2
. "$(dirname "$0")/lib.sh"

# The shell's lines may not fit: once the game has ended, the terminal grows to show them.
expect_ended_cleanly_at_any_size() {
    retry 5 test -f "$work/after" || fail "the game did not end"
    tm resize-window -t zop -x 81 -y 46
    expect_ended_cleanly 0
}

for size in "1 1" "10 5" "40 20" "62 41"; do
    columns=${size% *} rows=${size#* }
    next_pane
    start_in_pane "$columns" "$rows" "$zop"
    wait_for_key_wait || fail "no wait at the notice at $columns x $rows"
    if [ "$columns" -ge 40 ]; then
        wait_for_text "Game of Zop needs 63 x 42." 1 || fail "no notice at $columns x $rows"
        wait_for_text "This screen is $columns x $rows." 1 || fail "the notice gives no size"
    fi
    tm send-keys Escape
    expect_ended_cleanly_at_any_size
    echo "$columns x $rows: the notice, and ESC ended the game cleanly"

    next_pane
    start_in_pane "$columns" "$rows" "$quick_zop"
    wait_for_key_wait || fail "no wait at the notice at $columns x $rows"
    send_and_settle x
    send_and_settle Down Down Down Down Down Down n g
    send_and_settle b b n
    send_and_settle b b n
    if [ "$columns" -ge 40 ]; then
        wait_for_text "Dr. Zop wins! Well done, Dr. Zop!" 1 || fail "no winner at $columns x $rows"
    fi
    tm send-keys n
    expect_ended_cleanly_at_any_size
    echo "$columns x $rows: a whole game played anyway, and 'n' ended it cleanly"
done
echo "tiny terminals: all checks passed"
