# Sourced by the tests that need a virtual X display of their own:
# start_display [SCREEN] starts Xvfb, which picks a free display number
# (-displayfd), waits until it takes clients and exports DISPLAY; xvfb_pid is
# its pid.  Needs $work, a scratch directory, and fail.
start_display() {
    rm -f "$work/display" # the redirection below empties it only once Xvfb's shell runs
    Xvfb -displayfd 9 -screen 0 "${1:-1280x1024x24}" -nolisten tcp -noreset 9>"$work/display" \
        2>"$work/xvfb.log" &
    xvfb_pid=$!
    tries=200
    until [ -s "$work/display" ] && DISPLAY=:$(cat "$work/display") xdpyinfo >/dev/null 2>&1; do
        kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "Xvfb did not answer"
        sleep 0.05
    done
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
}
