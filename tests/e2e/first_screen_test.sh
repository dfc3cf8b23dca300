#!/bin/sh
# The first screen of the real game at 81 x 46 is exactly the layout; ESC in
# the setup then ends the program with status 0 and the terminal as it was.
# With a TERM of 8 colours ($3: screen, linux) the lever labels stand out in
# reverse video over bold light green; linux has no alternate screen, so the
# game draws on the shell's screen and blanks it at the end; screen takes a
# title but keeps no saved one to put back.  With NO_COLOR set ($3: no-color)
# not one colour is sent, the labels stand out in reverse video alone; with
# NO_COLOR empty the game plays in colour.  Ctrl-L brings back the screen
# after something else wrote over it.
set -u
name=first-screen zop=$1 golden=$2 term=${3:-}
. "$(dirname "$0")/lib.sh"

screen_of_its_own=1
labels="${esc}[30m${esc}[102mn${esc}[92m${esc}[40m ${esc}[30m${esc}[102mp"
if [ "$term" = no-color ]; then
    command -v script >/dev/null 2>&1 || skip "script (util-linux) is not installed"
    plain="${esc}[39m${esc}[49m"
    labels="${esc}[0;7m${plain}n${esc}[0;1m${plain} ${esc}[0;7m${plain}p"
    # script records every byte the game sends, and ends with the game's status.
    start_in_pane 81 46 env NO_COLOR=1 script -qefc "$zop" "$work/sent"
elif [ -n "$term" ]; then
    labels="${esc}[7mn${esc}[0;1m${esc}[32m${esc}[40m ${esc}[7mp"
    [ "$term" = linux ] && screen_of_its_own=0 shares_screen=1
    [ "$term" = screen ] && title_not_kept=1
    start_in_pane 81 46 env TERM="$term" "$zop"
else
    start_in_pane 81 46 env NO_COLOR= "$zop"
fi
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
[ "$(tm display -p '#{alternate_on}')" = "$screen_of_its_own" ] ||
    fail "the alternate screen is $(tm display -p '#{alternate_on}'), not $screen_of_its_own"
[ "$(tm display -p '#{cursor_flag}')" = 0 ] || fail "the cursor shows during the game"
tm capture-pane -p >"$work/first"
diff "$golden" "$work/first" || fail "the first screen differs from the layout"
tm capture-pane -p -e >"$work/colours"
grep -qF "$labels" "$work/colours" || fail "the lever labels do not stand out as they should"

# Whether the pane, captured into $work/again, shows the layout.
shows_layout() {
    tm capture-pane -p >"$work/again" && cmp -s "$golden" "$work/again"
}

if [ -z "$term" ]; then
    printf 'another program wrote here\n' >"$(tm display -p '#{pane_tty}')"
    wait_for_text "another program wrote here" || fail "nothing wrote over the game"
    tm send-keys C-l
    retry 5 shows_layout || { diff "$golden" "$work/again"; fail "Ctrl-L did not bring the screen back"; }
fi

tm send-keys Escape
expect_ended_cleanly 0
if [ "$term" = no-color ]; then
    # Every SGR's parameters, one per line: none may be a colour (30-49, 90-107).
    colours=$(tr '\033' '\n' <"$work/sent" | sed -n 's/^\[\([0-9;]*\)m.*/\1/p' | tr ';' '\n' |
        grep -xE '3[0-9]|4[0-9]|9[0-7]|10[0-7]' | sort -u | tr '\n' ' ')
    [ -z "$colours" ] || fail "with NO_COLOR the game sent the colours $colours"
    grep -qE "${esc}\[([0-9]*;)*7(;[0-9]*)*m" "$work/sent" ||
        fail "with NO_COLOR nothing was sent in reverse video"
fi
echo "first screen${term:+ with TERM=$term}: all checks passed"
