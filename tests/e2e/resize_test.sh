#!/bin/sh
# Resizes while the game runs.  Shrunk below its 81 x 46 picture the terminal
# shows the top-left of it; grown back, the whole picture again, equal to the
# one before; grown larger, the picture at the top left.  Tiny sizes (1 x 1,
# 10 x 5) and resizes while a marble rolls neither crash nor hang the game,
# and what it draws after them equals a fresh repaint.  Pictures are compared
# as seen with samepicture ($2).
set -u
name=resize zop=$1 samepicture=$2
. "$(dirname "$0")/lib.sh"

# samepicture itself, a row each: two captures, its arguments, and 0 (alike) or 1 (differ).
while IFS='|' read -r want got size verdict; do
    printf '%b\n' "$want" >"$work/want"
    printf '%b\n' "$got" >"$work/got"
    # shellcheck disable=SC2086
    "$samepicture" "$work/want" "$work/got" $size >/dev/null
    status=$?
    [ "$status" = "$verdict" ] || fail "samepicture: $status for '$want' and '$got' $size"
done <<'EOF'
\033[0mX\033[38;5;9mY\033[48;5;4m |\033[37;40mX\033[91mY\033[44m ||0
\033[1;31;7mX|\033[30;101mX||0
\033[31mX|\033[32mX||1
│X|┤X||1
\033[31m \033[41m |\033[32m \033[42m ||1
\033[31m |\033[32m ||0
X|X Y|1 1|0
X|X\033[41m  |1 1 --blank-beyond|0
X|X Y|1 1 --blank-beyond|1
EOF

# Resizes the terminal and waits until the game has sent its picture again
# and waits for a key.
resize_to() {
    written=$(bytes_written)
    resize_terminal "$1" "$2"
    wait_for_key_wait 10 -1 "$written" || fail "the game did not repaint and wait for a key at $1 x $2"
}

start_in_pane 81 46 "$zop"
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
wait_for_key_wait || fail "the game does not wait for a key"
tm capture-pane -p -e >"$work/whole"

resize_to 40 20
tm capture-pane -p -e >"$work/shrunk"
"$samepicture" "$work/whole" "$work/shrunk" 40 20 || fail "40 x 20 does not show the picture's top left"
resize_to 1 1
resize_to 10 5
tm capture-pane -p -e >"$work/tiny"
"$samepicture" "$work/whole" "$work/tiny" 10 5 || fail "10 x 5 does not show the picture's top left"
resize_to 81 46
tm capture-pane -p -e >"$work/grown"
"$samepicture" "$work/whole" "$work/grown" || fail "grown back, the picture differs"
resize_to 100 50
tm capture-pane -p -e >"$work/larger"
"$samepicture" "$work/whole" "$work/larger" 81 46 || fail "on a larger terminal the picture differs"
resize_to 81 46
echo "resized while waiting: the picture came back whole"

# Resized while a marble rolls: it rolls on to its end, and what was drawn
# then equals a fresh repaint of the game's picture.
tm send-keys p g b
wait_for_text "Ball Count │14│" 5 || fail "no marble rolled"
for size in "30 10" "1 1" "81 46" "5 50" "81 46"; do
    resize_terminal "${size% *}" "${size#* }"
done
wait_for_key_wait || fail "the game did not wait for the player's next key after the roll"
tm capture-pane -p -e >"$work/rolled"
resize_to 60 30
resize_to 81 46
tm capture-pane -p -e >"$work/repainted"
"$samepicture" "$work/rolled" "$work/repainted" || fail "the roll went on into another picture"
grep -qF "Ball Count │14│" "$work/rolled" || fail "the marble was lost"
echo "resized while a marble rolled: it rolled on, and the picture is whole"

tm send-keys Escape
wait_for_text "Would you like to play again?[Y/N/ESC]" 5 || fail "no question after ESC"
tm send-keys Escape
expect_ended_cleanly 0
echo "resize: all checks passed"
