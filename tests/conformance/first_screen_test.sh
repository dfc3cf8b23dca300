#!/bin/sh
# zop.exe under wine in a 160 x 50 terminal fits its console to 81 x 46
# (half the width and nine tenths of the height of the largest window, which
# is the terminal's size) and shows the same first screen there as zop shows
# in a terminal of exactly 81 x 46.  Before that, with no terminal at all,
# zop.exe answers --help, --version and wrong arguments as zop does.
# Usage: first_screen_test.sh ZOP ZOP.EXE SAMEPICTURE VERSION
# Needs no terminal and no standard input; skips (77) without tmux, wine or mingw-w64.
set -u
zop=$1
exe=$2
samepicture=$3
version=$4
here=$(dirname "$0")
work=$(mktemp -d)
socket="zop-first-screen-$$"
. "$here/wine.sh"
trap wine_cleanup EXIT

wine_require "$exe"
wine_setup

. "$here/../options.sh"
options_check "$version" setsid -w wine "$exe"
echo "zop.exe under wine answers its options"

# The first screen is whole once the message window asks for keys.
shows_first_screen() {
    tm capture-pane -t "$1" -p 2>/dev/null | grep -q "Ready for new game"
}

# Captures a session's screen with colours, once it has stayed the same for half a second.
capture_settled() {
    tm capture-pane -t "$1" -p -e -N >"$work/$1.before"
    sleep 0.5
    tm capture-pane -t "$1" -p -e -N >"$2"
    cmp -s "$work/$1.before" "$2"
}

printf 'exec "%s"\n' "$zop" >"$work/posix.sh"
pane_run posix 81 46 "$work/posix.sh" || { echo "FAIL: tmux would not start"; exit 1; }
retry 10 shows_first_screen posix || { echo "FAIL: zop showed no first screen"; exit 1; }
retry 2 capture_settled posix "$work/posix.screen" || { echo "FAIL: zop's screen kept changing"; exit 1; }

printf 'wine "%s"\necho $? >"%s/status"\nexec sleep 600\n' "$exe" "$work" >"$work/windows.sh"
started=$(date +%s)
pane_run windows 160 50 "$work/windows.sh"
if ! retry 60 shows_first_screen windows; then
    echo "FAIL: zop.exe showed no first screen within 60 s; the terminal shows:"
    tm capture-pane -t windows -p
    cat "$work/status" 2>/dev/null
    exit 1
fi
echo "zop.exe under wine showed its first screen after $(($(date +%s) - started)) s"
retry 2 capture_settled windows "$work/windows.screen" || { echo "FAIL: zop.exe's screen kept changing"; exit 1; }

"$samepicture" "$work/posix.screen" "$work/windows.screen" 81 46 --blank-beyond || {
    echo "--- zop in 81 x 46:"; sed 's/\x1b\[[0-9;]*m//g' "$work/posix.screen"
    echo "--- zop.exe in 160 x 50:"; sed 's/\x1b\[[0-9;]*m//g' "$work/windows.screen"
    exit 1
}
