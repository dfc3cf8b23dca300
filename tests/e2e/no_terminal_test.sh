#!/bin/sh
# No terminal at all: started in a session of its own (no controlling
# terminal) with standard input and output that are not terminals, the game
# says so in one line on standard error, writes nothing else and ends with
# status 1.
set -u
zop=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    exit 1
}

. "$(dirname "$0")/../skip.sh"
command -v setsid >/dev/null 2>&1 || skip "setsid is not installed"

setsid -w "$zop" </dev/null >"$work/out" 2>"$work/err"
status=$?
[ "$status" = 1 ] || fail "exit status $status, not 1"
[ "$(wc -l <"$work/err")" = 1 ] || fail "not one line on standard error: $(cat "$work/err")"
grep -q '^zop: .*terminal.*zop --lines' "$work/err" ||
    fail "the line does not say what is missing and what plays without it: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "it wrote to standard output: $(od -c "$work/out" | head -n 3)"
echo "no terminal: \"$(cat "$work/err")\", status 1"

echo 'keys' | { setsid -w "$zop" 2>"$work/err"; echo $? >"$work/status"; } | cat >"$work/out"
[ "$(cat "$work/status")" = 1 ] || fail "between pipes, exit status $(cat "$work/status"), not 1"
[ "$(wc -l <"$work/err")" = 1 ] || fail "between pipes, not one line on standard error"
[ ! -s "$work/out" ] || fail "between pipes, it wrote to standard output"
echo "no terminal, between pipes: the same line"
echo "no terminal: all checks passed"
