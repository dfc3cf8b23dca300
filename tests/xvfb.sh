# Sourced by the tests that need a virtual X display of their own:
# start_display [SCREEN] starts Xvfb, which picks a free display number
# (-displayfd), waits until it takes clients and exports DISPLAY; xvfb_pid is
# its pid.  Needs $work, a scratch directory, fail, and retry (support/retry.sh).

start_display() {
    rm -f "$work/display" # the redirection below empties it only once Xvfb's shell runs
    Xvfb -displayfd 9 -screen 0 "${1:-1280x1024x24}" -nolisten tcp -noreset 9>"$work/display" \
        2>"$work/xvfb.log" &
    xvfb_pid=$!
    retry 10 display_answers || fail "Xvfb did not answer"
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
}

# Whether Xvfb takes clients; fails the test once it has ended.
display_answers() {
    [ -s "$work/display" ] && DISPLAY=:$(cat "$work/display") xdpyinfo >/dev/null 2>&1 && return
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    return 1
}
