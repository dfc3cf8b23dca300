#!/bin/sh
# Runs the conformance script on our headless console and, under wine, on a
# Win32 console, and compares the two dumps cell by cell.
# Usage: conformance_test.sh POSIX-PROGRAM COMPARER WINDOWS-PROGRAM.EXE
# Needs no terminal and no standard input; skips (77) without tmux, wine or mingw-w64.
set -u
posix=$1
compare=$2
windows=$3
here=$(dirname "$0")
work=$(mktemp -d)
socket="zop-conformance-$$"
. "$here/wine.sh"
trap wine_cleanup EXIT

"$posix" "$work/posix.txt" || { echo "FAIL: the POSIX run failed"; exit 1; }
wine_require "$windows"
wine_setup

cat >"$work/run.sh" <<SCRIPT
cd "$work"
wine "$windows" windows.txt
echo \$? >"$work/status"
exec sleep 600
SCRIPT
started=$(date +%s)
pane_run conformance 80 40 "$work/run.sh" || { echo "FAIL: tmux would not start"; exit 1; }
if ! retry 120 test -s "$work/status"; then
    echo "FAIL: the Windows run did not finish within 120 s; its screen:"
    tm capture-pane -t conformance -p
    exit 1
fi
echo "Windows run under wine took $(($(date +%s) - started)) s"
status=$(cat "$work/status")
if [ "$status" != 0 ]; then
    echo "FAIL: the Windows run ended with status $status"
    cat "$work/windows.txt" 2>/dev/null | grep -v '^row'
    exit 1
fi
"$compare" "$work/posix.txt" "$work/windows.txt"
