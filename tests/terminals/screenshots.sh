#!/bin/sh
# Screenshots of the game (zop, $2) in real terminal emulators on a virtual X
# display, into the directory $1: the first screen in each kind of terminal
# the tests check (<kind>.png), and a game in progress in xterm
# (game-in-xterm.png): Dr. Zop has taken its marble and the player's rolls.
set -u
name=screenshots out=$1 zop=$2
. "$(dirname "$0")/lib.sh"
mkdir -p "$out"
start_display

for kind in xterm xterm-screen xterm-c urxvt st; do
    start_terminal "$kind" "$zop"
    wait_for_stillness
    screenshot "$out/$kind.png"
    quit_game
    echo "$out/$kind.png"
done

start_terminal xterm "$zop"
wait_for_stillness
type_keys n g
sleep 4 # the machine's marble rolls 15 cells of 200 ms
type_keys b
sleep 1.8 # the player's marble is on its way down
screenshot "$out/game-in-xterm.png"
type_keys Escape # read once the marble is out; then the replay question takes the last ESC
sleep 1.5
quit_game
echo "$out/game-in-xterm.png"
