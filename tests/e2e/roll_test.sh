#!/bin/sh
# One marble rolled with the real board drawing in an 81 x 46 terminal: the
# board stands at columns 8 to 20 and rows 6 to 18, the two lever labels are
# highlighted, and the marble is seen on the cells of its route, in order.
set -u
name=roll demo=$1
. "$(dirname "$0")/lib.sh"

start_in_pane 81 46 "$demo" 300
wait_for_text "Ball Count" || fail "no screen"
tm capture-pane -p >"$work/board"
# The board's rows, cut out of the screen one cell per byte (code page 437).
board() {
    iconv -f UTF-8 -t CP437 "$1" | awk 'NR >= 7 && NR <= 19 { print substr($0, 9, 13) }'
}
board "$work/board" >"$work/rows"
iconv -f UTF-8 -t CP437 <<'PICTURE' >"$work/expected"
█████████████
█oooo       █
█ooooooooooo█
███████████─█
█  _  _  /  █
█ █ ██ ██ ███
█ █  █    ███
█  █ ███ ████
██   ██┘/ ███
████    █ ███
██████  n p██
███████  / ██
████████ █┴██
PICTURE
diff "$work/expected" "$work/rows" || fail "the board is not at columns 8 to 20, rows 6 to 18"
tm capture-pane -p -e >"$work/colours"
grep -qF "${esc}[30m${esc}[102mn${esc}[92m${esc}[40m ${esc}[30m${esc}[102mp" "$work/colours" ||
    fail "the lever labels are not highlighted"

# Watch the roll: where the marble is (board cells below the rack), every 50 ms.
tm send-keys x
: >"$work/seen"
i=0
while [ $i -lt 120 ]; do
    tm capture-pane -p >"$work/now"
    board "$work/now" | awk 'NR >= 4 { for (x = 1; x <= 13; x++) if (substr($0, x, 1) == "o")
        printf "%d,%d\n", x - 1, NR - 1 }' >>"$work/seen"
    i=$((i + 1))
    sleep 0.05
done
uniq "$work/seen" >"$work/cells"
# Flippers (1, 0, 0), the diverter at 0: down at the right flipper, left at the diverter.
route="11,3 11,4 10,4 9,4 9,5 9,6 8,6 8,7 8,8 7,8 7,9 7,10 7,11 8,11 8,12"
next=" $route "
while read -r cell; do
    case "$next" in
    *" $cell "*) next=" ${next#*" $cell "}" ;;
    *) fail "the marble was seen at $cell, off its route or out of order" ;;
    esac
done <"$work/cells"
[ "$(wc -l <"$work/cells")" -ge 12 ] || fail "the marble was seen on only $(wc -l <"$work/cells") cells"
[ "$(tail -n 1 "$work/cells")" = "8,12" ] || fail "the marble was not seen leaving at (8, 12)"
grep -qF "Ball Count │14│" "$work/now" || fail "the count did not drop to 14"

tm send-keys x
expect_ended_cleanly 0
echo "roll: all checks passed"
