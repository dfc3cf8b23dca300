#!/bin/sh
# The end of the game's input.  A hang-up (the pane closes under it): with the
# shell that started it still there, the game reads the end of its input and
# closes normally, status 0; when the hang-up also ends that shell, the game
# gets SIGHUP.  A game on a terminal that is not its controlling terminal
# (started with setsid) gets no signal at all when that terminal closes, and
# closes normally too.  Each time it is gone within a second, and it spends
# no CPU time while it waits for a key.  Standard input closed or not a
# terminal is not read at all: the game reads its keys from the terminal.
set -u
name=end-of-input zop=$1
. "$(dirname "$0")/lib.sh"

# Waits up to a second for a process to be gone (or a zombie nobody waits for).
expect_gone_within_a_second() {
    retry 1 gone "$1" || fail "the game was still there a second after $2"
}

# Whether a process is gone, or a zombie.
gone() {
    [ ! -d "/proc/$1" ] || [ "$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)" = Z ]
}

# Waits up to a second for the shell to note the game's exit status.
wait_for_status() {
    retry 1 test -s "$work/status" || fail "no exit status noted"
}

# Expects the game to spend no CPU time (at most a tick) in a second of waiting for a key.
expect_idle_wait() {
    wait_for_key_wait || fail "the game does not wait for a key"
    ticks=$(cpu_ticks "$1")
    sleep 1
    [ $(( $(cpu_ticks "$1") - ticks )) -le 1 ] || fail "the game used CPU time while it waited for a key"
}

start_in_pane 81 46 "$zop"
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
pid=$(program_pid)
shell=$(ps -o ppid= -p "$pid" | tr -d ' ')
expect_idle_wait "$pid"
tm kill-pane -t zop
expect_gone_within_a_second "$pid" "the hang-up"
wait_for_status
kill "$shell" 2>/dev/null # it outlived its terminal, to note the status
[ "$(cat "$work/status")" = 0 ] || fail "exit status $(cat "$work/status") after the end of input, not 0"
echo "hang-up with the shell still there: the game read the end of its input and closed, status 0"

next_pane
hangup_ends_shell=1
start_in_pane 81 46 "$zop"
unset hangup_ends_shell
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen"
pid=$(program_pid)
expect_idle_wait "$pid"
tm kill-pane -t zop
expect_gone_within_a_second "$pid" "the hang-up"
echo "hang-up that ends the shell: the game was gone within a second"

# A terminal the game has no control of: a pane's, taken from outside its session.
next_pane
tm new-session -d -s zop -x 81 -y 46 "exec sleep 600" || fail "tmux would not start"
sleep 0.3
tty=$(tm display -p '#{pane_tty}')
rm -f "$work/pid" "$work/status"
(
    setsid -w sh -c 'echo $$ >"$1"; exec "$0"' "$zop" "$work/pid" <"$tty" >"$tty" 2>"$work/stderr"
    echo $? >"$work/status"
) &
wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen on the other terminal"
pid=$(program_pid)
expect_idle_wait "$pid"
tm kill-pane -t zop
expect_gone_within_a_second "$pid" "its terminal closed"
wait_for_status
[ "$(cat "$work/status")" = 0 ] || fail "exit status $(cat "$work/status") after its terminal closed, not 0"
[ ! -s "$work/stderr" ] || fail "it said: $(cat "$work/stderr")"
echo "terminal closed under a game without a controlling terminal: closed normally, status 0"

for input in "<&-" "</dev/null"; do
    next_pane
    start_in_pane 81 46 "$zop $input"
    wait_for_text "Ready for new game. Waiting key commands..." || fail "no first screen with $input"
    send_and_settle p
    wait_for_text "Player to go first." 2 || fail "no key read from the terminal with $input"
    tm send-keys Escape
    expect_ended_cleanly 0
    echo "standard input $input: keys come from the terminal, ESC ends the game cleanly"
done
echo "end of input: all checks passed"
