# Sourced by the test scripts that wait for something: retry SECONDS COMMAND...
# runs COMMAND (a function too) until it succeeds, SECONDS × 10 times at the
# most, 0.1 s apart, and returns 1 when it never did; `ended PID` is a COMMAND
# for it, whether a process has ended.
retry() {
    # The tries left are kept in $1, which is this call's own, so that a
    # COMMAND that retries something in turn cannot change them.
    retry_left=$(($1 * 10))
    shift
    set -- "$retry_left" "$@"
    until retry_run "$@"; do
        [ "$1" -gt 1 ] || return 1
        retry_left=$(($1 - 1))
        shift
        set -- "$retry_left" "$@"
        sleep 0.1
    done
}

# Runs the COMMAND of retry's arguments, past the tries left.
retry_run() {
    shift
    "$@"
}

# Whether the process PID has ended.
ended() {
    ! kill -0 "$1" 2>/dev/null
}
