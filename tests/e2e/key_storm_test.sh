#!/bin/sh
# Key storms typed into the real game, 10,000 bytes each, written by
# keystorm ($2).  Neutral storms (escape sequences of every kind and junk,
# but no key the game acts on) in the setup, while the player's marble rolls
# and while the machine's does: the screen and the game stay as they were,
# and the taken lines add up to the marbles gone.  Then a storm of random
# bytes (none that the terminal turns into a signal) in the player's turn,
# on the game with 20 ms marble steps ($4), as its keys roll many marbles:
# the game takes it, and ESC still ends it cleanly.  Pictures are compared
# with samepicture ($3).
set -u
name=key-storm zop=$1 keystorm=$2 samepicture=$3 quick_zop=$4
. "$(dirname "$0")/lib.sh"

# Types a storm: each file at once, the next once the game has read it (a
# rolling marble holds the reading up until it stops), unless the game has
# ended meanwhile.
type_storm() {
    mkdir "$work/$1-$2"
    "$keystorm" "$1" "$2" 10000 "$work/$1-$2" >/dev/null || fail "no storm written"
    start=$(bytes_read)
    for file in "$work/$1-$2"/storm-*; do
        until=$(( $(bytes_read) + $(wc -c <"$file") ))
        tm load-buffer -b storm "$file"
        tm paste-buffer -r -d -b storm -t zop
        retry 10 read_or_ended "$until" || fail "the game did not read the storm"
        [ -f "$work/status" ] && return
    done
    typed=$(( $(bytes_read) - start ))
}

# Whether the game has read $1 bytes in all.
has_read() {
    [ "$(bytes_read)" -ge "$1" ]
}

# Whether the game has read $1 bytes in all, or ended.
read_or_ended() {
    has_read "$1" || [ -f "$work/status" ]
}

# The marbles the taken lines on the screen add up to.
taken() {
    tm capture-pane -p | sed -n 's/.*took: \([0-9]\).*/\1/p' | awk '{ sum += $1 } END { print sum + 0 }'
}

start_in_pane 81 46 "$zop"
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
wait_for_key_wait || fail "the game does not wait for a key"
tm capture-pane -p -e >"$work/setup"
type_storm neutral 1
[ "$typed" -ge 10000 ] || fail "the storm did not arrive whole"
wait_for_key_wait 10 -1 || fail "the game did not wait for a key after the storm"
tm capture-pane -p -e >"$work/stormed"
"$samepicture" "$work/setup" "$work/stormed" || fail "a neutral storm in the setup changed the screen"
echo "neutral storm in the setup: nothing changed"

send_and_settle p g
tm send-keys b
wait_for_text "Ball Count │14│" 5 || fail "no marble rolled"
type_storm neutral 2
wait_for_key_wait 10 -1 || fail "the game did not wait for a key after the storm"
tm capture-pane -p >"$work/screen"
grep -qF "took:" "$work/screen" && fail "the storm ended the player's turn"
grep -qF "Ball Count │14│" "$work/screen" || fail "the storm released a marble"
# Two more marbles end the player's turn at 12.  The player's first marble
# set the diverter, so the machine takes 3 there, and a storm typed while its
# first marble rolls is read between its marbles, where a waiting ESC would
# end its turn.
tm send-keys b b
wait_for_text "You took: 3" 20 || fail "the player's turn did not end after three marbles"
mkdir "$work/neutral-3"
"$keystorm" neutral 3 900 "$work/neutral-3" >/dev/null || fail "no storm written"
start=$(bytes_read) size=$(wc -c <"$work/neutral-3/storm-000")
tm load-buffer -b storm "$work/neutral-3/storm-000"
tm paste-buffer -r -d -b storm -t zop
retry 10 has_read $((start + size)) || fail "the game did not read the storm between the machine's marbles"
tm capture-pane -p >"$work/screen"
grep -qF "Zop took:" "$work/screen" && fail "the machine's turn ended as soon as it read the storm"
wait_for_text "Zop took:" 20 || fail "the machine's turn did not end"
grep -qF "Zop took: 3" "$work/screen" || fail "the storm changed what the machine took: $(grep -F 'Zop took' "$work/screen")"
wait_for_key_wait 10 -1 || fail "the game did not wait for the player's key after the machine's turn"
count=$(tm capture-pane -p | sed -n 's/.*Ball Count │\([0-9 ]*\)│.*/\1/p' | tr -d ' ')
[ "$count" = 9 ] || fail "$count marbles left, not 9: the storm released marbles"
[ $((15 - count)) = "$(taken)" ] || fail "the taken lines add up to $(taken), but $((15 - count)) marbles are gone"
echo "neutral storms while marbles rolled: the turns went on, and the taken lines add up"

next_pane
start_in_pane 81 46 "$quick_zop"
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
wait_for_key_wait || fail "the game does not wait for a key"
send_and_settle p g
type_storm random 4
if [ -f "$work/status" ]; then
    echo "random storm: its own keys ended the game before it was all typed"
else
    echo "random storm: the game read all $typed bytes"
fi
escapes=0
while [ "$escapes" -lt 8 ]; do
    escapes=$((escapes + 1))
    [ -f "$work/status" ] && break
    wait_for_key_wait 30 -1 || fail "the game did not wait for a key after the random storm"
    tm send-keys Escape
    sleep 0.2
done
expect_ended_cleanly 0
echo "random storm: the game took it, and ESC ended it cleanly"
echo "key storm: all checks passed"
