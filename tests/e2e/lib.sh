# Shared by the end-to-end tests: a program in a tmux pane of its own server,
# with what the terminal looked like before and after it, and its exit status.
# Source it after setting `name`; needs no terminal and no standard input.

. "$(dirname "$0")/../skip.sh"
. "$(dirname "$0")/../support/retry.sh"
command -v tmux >/dev/null 2>&1 || skip "tmux is not installed"

work=$(mktemp -d)
socket="zop-e2e-$name-$$"
esc=$(printf '\033')
export LC_ALL=C.UTF-8
# The title the shell shows; the program must give it back.
shell_title="the shell's title"

# Ends the tmux server and removes its socket, which a server that ended by
# itself (its last pane closed) leaves behind.
end_server() {
    tmux -L "$socket" kill-server >/dev/null 2>&1
    rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
}

cleanup() {
    end_server
    rm -rf "$work"
}
trap cleanup EXIT

tm() {
    tmux -u -L "$socket" -f /dev/null "$@"
}

fail() {
    echo "FAIL: $*"
    tm capture-pane -p >"$work/screen" 2>/dev/null && { echo "--- screen:"; cat "$work/screen"; }
    exit 1
}

# Waits up to $2 seconds (default 10) for the pane to show a text.
wait_for_text() {
    wait_for_lines "$1" 1 "${2:-10}"
}

# Waits up to $3 seconds for the pane to show a text on at least $2 lines.
wait_for_lines() {
    retry "$3" pane_shows "$1" "$2"
}

# Whether the pane, captured into $work/screen, shows a text on at least $2 lines.
pane_shows() {
    tm capture-pane -p >"$work/screen" 2>/dev/null && [ "$(grep -cF -- "$1" "$work/screen")" -ge "$2" ]
}

# Starts a command in a pane of the given size, from a shell line that has
# printed something first (so the program takes a screen of its own), noting
# the terminal settings before and after it, its pid and its exit status.
# Ctrl-C, Ctrl-\ and a hang-up reach the shell too: it outlives them (its
# traps are not inherited) to note how the program ended, unless
# hangup_ends_shell is set.
start_in_pane() {
    columns=$1 rows=$2
    shift 2
    rm -f "$work/status" "$work/after" "$work/pid"
    traps="INT QUIT HUP"
    [ -z "${hangup_ends_shell:-}" ] || traps="INT QUIT"
    cat >"$work/run.sh" <<SCRIPT
trap : $traps
ulimit -c 0
printf '\033]2;%s\007' "$shell_title"
echo "the shell's own line"
stty -a >"$work/before"
sh -c 'echo \$\$ >"$work/pid"; exec "\$@"' program $*
echo \$? >"$work/status"
echo "the shell's line after"
stty -a >"$work/after"
exec sleep 600
SCRIPT
    tm new-session -d -s zop -x "$columns" -y "$rows" "sh $work/run.sh" || fail "tmux would not start"
}

# Ends the pane and its tmux server, so that start_in_pane can start afresh
# (on a server of another name: a new one on the old socket may meet the old).
next_pane() {
    end_server
    runs=$(( ${runs:-0} + 1 ))
    socket="zop-e2e-$name-$$-$runs"
}

# The pid of the program that start_in_pane started.
program_pid() {
    retry 5 test -s "$work/pid" || fail "the program did not start"
    cat "$work/pid"
}

# Whether a process waits for input with no time limit: sleeping (not
# stopped) in poll(..., -1), or ppoll(..., NULL, ...) on systems without poll,
# or, where poll refuses terminals, select(..., NULL) or pselect6(..., NULL, ...),
# as /proc/<pid>/stat and /proc/<pid>/syscall show.
waits_for_key() {
    [ "$(sed 's/^.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1)" = S ] || return 1
    # shellcheck disable=SC2046
    set -- $(cat "/proc/$1/syscall" 2>/dev/null)
    case "${1:-} ${4:-} ${6:-}" in
    "7 0xffffffff "* | "7 0xffffffffffffffff "* | "271 0x0 "* | "73 0x0 "*) return 0 ;;
    "23 "*" 0x0" | "270 "*" 0x0") return 0 ;;
    esac
    return 1
}

# Waits up to $1 seconds (default 20) until the program waits for the next
# key, having read more than $2 bytes in all (see bytes_read; default: any)
# and written more than $3 (see bytes_written; default: any).  Without a way
# to see what the program waits for, the test cannot tell and is skipped.
# A loop of its own, not retry: it wants two sightings in a row, 0.05 s apart.
wait_for_key_wait() {
    key_pid=$(program_pid)
    [ -r "/proc/$key_pid/syscall" ] ||
        skip "/proc/$key_pid/syscall cannot be read: no way to see the game wait for a key"
    key_tries=$(( ${1:-20} * 20 )) calm=0
    while [ "$key_tries" -gt 0 ]; do
        if [ "$(bytes_read)" -gt "${2:--1}" ] && [ "$(bytes_written)" -gt "${3:--1}" ] &&
            waits_for_key "$key_pid"; then
            calm=$((calm + 1))
            [ "$calm" -ge 2 ] && return 0
        else
            calm=0
        fi
        key_tries=$((key_tries - 1))
        sleep 0.05
    done
    return 1
}

# How many bytes the program has read (from the terminal: it reads no files).
bytes_read() {
    sed -n 's/^rchar: //p' "/proc/$(program_pid)/io" 2>/dev/null || echo 0
}

# How many bytes the program has written (to the terminal: it writes no files).
bytes_written() {
    sed -n 's/^wchar: //p' "/proc/$(program_pid)/io" 2>/dev/null || echo 0
}

# Sends keys (tmux key names) and waits until the program has read them and
# waits for the next key.
send_and_settle() {
    before=$(bytes_read)
    tm send-keys "$@"
    wait_for_key_wait 30 "$before" || fail "the program did not take the keys $* and wait again"
}

# Resizes the terminal and waits up to 2 seconds until its new size is set
# (tmux sets it a little later; only then are the programs on it told).
resize_terminal() {
    tm resize-window -t zop -x "$1" -y "$2"
    retry 2 terminal_size_is "$1" "$2" || fail "the terminal did not become $1 x $2"
}

# Whether the pane's terminal is $1 x $2.
terminal_size_is() {
    [ "$(stty size <"$(tm display -p '#{pane_tty}')" 2>/dev/null)" = "$2 $1" ]
}

# The CPU time the program has used, in clock ticks.
cpu_ticks() {
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# Waits up to 2 seconds for a tmux format to show a value.
wait_for_display() {
    retry 2 displays "$1" "$2"
}

# Whether a tmux format shows a value.
displays() {
    [ "$(tm display -p "$1")" = "$2" ]
}

# Expects the program to have ended with a status and left the terminal as it found it.
expect_ended_cleanly() {
    retry 10 test -f "$work/after" || fail "the program did not end"
    [ "$(cat "$work/status")" = "$1" ] || fail "exit status $(cat "$work/status"), not $1"
    # tmux may still be reading the program's last bytes.
    wait_for_display '#{alternate_on}' 0 || fail "the alternate screen is still on"
    wait_for_display '#{cursor_flag}' 1 || fail "the cursor is still hidden"
    # The size may have changed on purpose; every setting must be as it was.
    sed 's/rows [0-9]*; columns [0-9]*;//' "$work/before" >"$work/before.settings"
    sed 's/rows [0-9]*; columns [0-9]*;//' "$work/after" >"$work/after.settings"
    diff "$work/before.settings" "$work/after.settings" || fail "stty -a differs after the program"
    # A terminal without an alternate screen (shares_screen set) keeps no shell's screen to give back.
    if [ -z "${shares_screen:-}" ]; then
        wait_for_text "the shell's own line" 1 || fail "the shell's screen did not come back"
    fi
    # A TERM that keeps no saved titles (title_not_kept set) cannot be given the shell's back.
    if [ -z "${title_not_kept:-}" ]; then
        [ "$(tm display -p '#{pane_title}')" = "$shell_title" ] ||
            fail "the title is \"$(tm display -p '#{pane_title}')\", not the shell's"
    fi
    expect_plain_line "the shell's line after"
}

# Expects a line of the pane to show in the terminal's own colours (not left
# in the program's): captured alone, it holds no colour change.
expect_plain_line() {
    wait_for_text "$1" 2 || fail "no line \"$1\""
    row=$(( $(grep -nF -- "$1" "$work/screen" | head -n 1 | cut -d: -f1) - 1 ))
    line=$(tm capture-pane -p -e -S "$row" -E "$row")
    [ "$line" = "$1" ] || fail "the line \"$1\" shows in colours: $(printf '%s' "$line" | od -c | head -n 3)"
}
