#!/bin/sh
# The first screen of the real game at 81 x 46 is exactly the layout; ESC in
# the setup then ends the program with status 0 and the terminal as it was.
set -u
name=first-screen zop=$1 golden=$2
. "$(dirname "$0")/lib.sh"

start_in_pane 81 46 "$zop"
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
[ "$(tm display -p '#{alternate_on}')" = 1 ] || fail "the game is not on a screen of its own"
[ "$(tm display -p '#{cursor_flag}')" = 0 ] || fail "the cursor shows during the game"
tm capture-pane -p >"$work/first"
diff "$golden" "$work/first" || fail "the first screen differs from the layout"
tm capture-pane -p -e >"$work/colours"
grep -qF "${esc}[30m${esc}[102mn${esc}[92m${esc}[40m ${esc}[30m${esc}[102mp" "$work/colours" ||
    fail "the lever labels are not black on light green"

tm send-keys Escape
expect_ended_cleanly 0
echo "first screen: all checks passed"
