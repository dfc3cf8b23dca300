#!/bin/sh
# The first screen of the real game at 81 x 46 is exactly the layout; ESC in
# the setup then ends the program with status 0 and the terminal as it was.
# With a TERM of 8 colours ($3: screen, linux) the lever labels stand out in
# reverse video over bold light green; linux has no alternate screen, so the
# game draws on the shell's screen and blanks it at the end; screen takes a
# title but keeps no saved one to put back.
set -u
name=first-screen zop=$1 golden=$2 term=${3:-}
. "$(dirname "$0")/lib.sh"

screen_of_its_own=1
labels="${esc}[30m${esc}[102mn${esc}[92m${esc}[40m ${esc}[30m${esc}[102mp"
if [ -n "$term" ]; then
    labels="${esc}[7mn${esc}[0;1m${esc}[32m${esc}[40m ${esc}[7mp"
    [ "$term" = linux ] && screen_of_its_own=0 shares_screen=1
    [ "$term" = screen ] && title_not_kept=1
    start_in_pane 81 46 env TERM="$term" "$zop"
else
    start_in_pane 81 46 "$zop"
fi
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
[ "$(tm display -p '#{alternate_on}')" = "$screen_of_its_own" ] ||
    fail "the alternate screen is $(tm display -p '#{alternate_on}'), not $screen_of_its_own"
[ "$(tm display -p '#{cursor_flag}')" = 0 ] || fail "the cursor shows during the game"
tm capture-pane -p >"$work/first"
diff "$golden" "$work/first" || fail "the first screen differs from the layout"
tm capture-pane -p -e >"$work/colours"
grep -qF "$labels" "$work/colours" || fail "the lever labels do not stand out as they should"

tm send-keys Escape
expect_ended_cleanly 0
echo "first screen${term:+ with TERM=$term}: all checks passed"
