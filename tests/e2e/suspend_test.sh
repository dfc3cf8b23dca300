#!/bin/sh
# Ctrl-Z and `fg` from an interactive shell with job control.  While the game
# is stopped the shell has its terminal back: its own settings (echo and
# line input), the cursor shown, the main screen and its title.  After `fg`
# the game repaints its whole picture, equal to the one before, and play
# goes on where it was, a rolling marble included.  A terminal resized while
# the game was stopped (the resize signals the shell, not the game) is
# followed after `fg`: the small-screen notice starts the game once the
# terminal is large enough, and the picture is shown at the new size.  A
# SIGSTOP (no chance to restore anything) followed by `fg` repaints the
# picture over the shell's lines and leaves the shell's title intact at the
# end.  Pictures are compared as seen with samepicture ($2).
set -u
name=suspend zop=$1 samepicture=$2
. "$(dirname "$0")/lib.sh"

# Types a line into the shell, ended with a line feed: a shell reads that as
# the end of a line even from a terminal the game left in raw mode (SIGSTOP).
type_line() {
    tm send-keys -l "$1"
    tm send-keys C-j
}

# Waits up to 5 seconds for the game to be stopped.
wait_for_stop() {
    retry 5 stopped || fail "the game did not stop"
}

# Whether the game is stopped.
stopped() {
    [ "$(sed 's/^.*) //' "/proc/$(program_pid)/stat" | cut -d' ' -f1)" = T ]
}

# Ctrl-Z: the shell has the terminal back, with the settings it had before the game.
stop_game() {
    tm send-keys C-z
    wait_for_stop
    wait_for_display '#{alternate_on}' 0 || fail "stopped on the game's screen"
    wait_for_display '#{cursor_flag}' 1 || fail "stopped with the cursor hidden"
    wait_for_display '#{pane_title}' "$shell_title" || fail "stopped with the game's title"
    rm -f "$work/stopped"
    type_line "printf '\\033[H\\033[2J'"
    # Typed characters are echoed again: the line shows before it is ended.
    tm send-keys -l "stty -a >$work/stopped; echo \$((6 * 7)) answered"
    wait_for_text "echo \$((6 * 7)) answered" 5 || fail "the shell's typing is not echoed"
    tm send-keys C-j
    wait_for_text "42 answered" 5 || fail "the shell does not answer"
    sed 's/rows [0-9]*; columns [0-9]*;//' "$work/stopped" >"$work/stopped.settings"
    sed 's/rows [0-9]*; columns [0-9]*;//' "$work/before" >"$work/shell.settings"
    diff "$work/shell.settings" "$work/stopped.settings" || fail "stopped with other settings"
}

# `fg`: the game's screen is back once it waits for a key again.
resume_game() {
    type_line fg
    wait_for_key_wait 20 -1 || fail "the game did not wait for a key again after fg"
    wait_for_display '#{alternate_on}' 1 || fail "the game is not on its own screen after fg"
    wait_for_display '#{cursor_flag}' 0 || fail "the cursor shows after fg"
}

tm new-session -d -s zop -x 40 -y 20 "env PS1='$ ' ENV= sh -i" || fail "tmux would not start"
wait_for_text "$" 5 || fail "no shell prompt"
type_line "printf '\\033]2;%s\\007' \"$shell_title\"; stty -a >$work/before"
type_line "sh -c 'echo \$\$ >\"\$1\"; exec \"\$0\"' $zop $work/pid"
wait_for_text "This screen is 40 x 20." || fail "no notice at 40 x 20"
wait_for_key_wait || fail "the game does not wait at the notice"

# Stopped at the notice, the terminal grown meanwhile: after fg the game starts by itself.
stop_game
resize_terminal 81 46
resume_game
wait_for_text "Ready for new game. Waiting key commands..." || fail "the game did not start after fg"
wait_for_key_wait || fail "the game does not wait for a key"
tm capture-pane -p -e >"$work/waiting"
echo "Ctrl-Z at the notice, the terminal grown meanwhile: fg started the game"

# Stopped and resumed while the game waits: the same picture.
stop_game
resume_game
tm capture-pane -p -e >"$work/resumed"
"$samepicture" "$work/waiting" "$work/resumed" || fail "the picture after fg differs"
echo "Ctrl-Z while waiting: the shell had its terminal; fg repainted the same picture"

# Shrunk while stopped, then grown while stopped again.
stop_game
resize_terminal 40 20
resume_game
tm capture-pane -p -e >"$work/shrunk"
"$samepicture" "$work/waiting" "$work/shrunk" 40 20 || fail "shrunk while stopped, fg shows another picture"
stop_game
resize_terminal 81 46
resume_game
tm capture-pane -p -e >"$work/grown"
"$samepicture" "$work/waiting" "$work/grown" || fail "grown while stopped, fg shows another picture"
echo "resized while stopped: fg showed the picture at the new size"

# Stopped while a marble rolls: after fg it rolls on to its end, and what was
# drawn meanwhile equals a fresh repaint of the game's picture.
tm send-keys p g b
wait_for_text "Ball Count │14│" 5 || fail "no marble rolled"
sleep 0.6
stop_game
resume_game
tm capture-pane -p -e >"$work/rolled"
grep -qF "Ball Count │14│" "$work/rolled" || fail "the marble was lost"
stop_game
resume_game
tm capture-pane -p -e >"$work/repainted"
"$samepicture" "$work/rolled" "$work/repainted" || fail "the roll went on into another picture"
before=$(bytes_read)
tm send-keys n
wait_for_lines "took:" 2 20 || fail "play did not go on after the roll: no machine's turn"
echo "Ctrl-Z while a marble rolled: it rolled on, and play went on"

# SIGSTOP cannot be caught: the game keeps its screen while stopped, the
# shell writes its lines over it, and on `fg` the game repaints it all,
# without setting its title over its own.
wait_for_key_wait 30 "$before" || fail "the game did not wait for the player's turn"
pid=$(program_pid)
kill -s STOP "$pid"
wait_for_stop
wait_for_text "Stopped (signal)" 5 || fail "the shell did not see the game stop"
type_line fg
wait_for_key_wait 20 -1 || fail "the game did not wait for a key again after SIGSTOP and fg"
tm capture-pane -p >"$work/screen"
grep -qF "Stopped" "$work/screen" && fail "the game did not repaint over the shell's lines"
tm send-keys Escape
wait_for_text "Would you like to play again?[Y/N/ESC]" 5 || fail "no question after ESC"
tm send-keys Escape
retry 5 ended "$pid" || fail "the game did not end"
wait_for_display '#{alternate_on}' 0 || fail "the alternate screen is still on"
wait_for_display '#{cursor_flag}' 1 || fail "the cursor is still hidden"
wait_for_display '#{pane_title}' "$shell_title" ||
    fail "the title is \"$(tm display -p '#{pane_title}')\", not the shell's, after SIGSTOP and fg"
echo "SIGSTOP and fg: repainted, and the shell's title came back at the end"
echo "suspend: all checks passed"
