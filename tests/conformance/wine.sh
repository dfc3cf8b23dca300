# Shared by the tests that run the Windows build under wine in a tmux pane
# (wine's console needs a terminal).  Sourced; expects $here (this folder) and $work, a fresh
# temporary directory, and sets up a wine prefix of its own inside it.
# Prerequisites that are missing make the test skip (exit 77); nothing else does.
. "$here/../skip.sh"
. "$here/../support/retry.sh"

# Skips unless tmux and wine are installed and the Windows program was built.
wine_require() {
    for tool in tmux wine wineboot wineserver; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
    done
    if [ ! -f "$1" ]; then
        command -v x86_64-w64-mingw32-g++ >/dev/null 2>&1 ||
            skip "mingw-w64 is not installed, so there is no $1"
        echo "FAIL: $1 was not built (see the windows_build test)"
        exit 1
    fi
}

# A wine of our own: its prefix in $work, no messages, no window, no
# downloads of add-ons; the code page of an English system (437).
wine_setup() {
    export WINEPREFIX="$work/wineprefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export LC_ALL=C.UTF-8
    unset DISPLAY WAYLAND_DISPLAY
    started=$(date +%s)
    if ! wineboot -i </dev/null >"$work/wineboot.log" 2>&1; then
        echo "FAIL: wineboot could not set up a wine prefix"
        cat "$work/wineboot.log"
        exit 1
    fi
    echo "wine prefix made in $(($(date +%s) - started)) s"
}

wine_cleanup() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
    tmux -L "$socket" kill-server >/dev/null 2>&1
    rm -f "${TMUX_TMPDIR:-/tmp}/tmux-$(id -u)/$socket"
    rm -rf "$work"
}

tm() {
    tmux -u -L "$socket" -f /dev/null "$@"
}

# Runs a script in a new tmux session of one pane of the given size:
# pane_run NAME COLUMNS ROWS SCRIPT.
pane_run() {
    tm new-session -d -s "$1" -x "$2" -y "$3" "sh $4"
}
