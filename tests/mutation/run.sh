#!/usr/bin/env bash
# The mutation check: breaks the product code on purpose, one break of the
# list at a time, in a scratch copy of the tree, rebuilds it and runs the
# unit tests.  Prints one line per break with the tests that caught it, and
# exits 1 when a break survived every test or no longer applies to the code
# (its text is gone or ambiguous, or the broken code does not build).
# Usage: run.sh [LIST]   (default: breaks.txt beside this script)
# MUTANTS_DIR sets the scratch directory (default: build-mutants in the tree).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
list=${1:-$here/breaks.txt}
scratch=${MUTANTS_DIR:-$top/build-mutants}
jobs=$(nproc 2>/dev/null || echo 2)
command -v perl >/dev/null || { echo "run.sh needs perl"; exit 1; }

# A copy of the tree as it stands, without build directories, and a second one
# to restore each broken file from (the tree itself may change meanwhile).
rm -rf "$scratch/src" "$scratch/pristine"
mkdir -p "$scratch/src"
tar -C "$top" --exclude='./build*' --exclude=./.git -cf - . | tar -C "$scratch/src" -xf -
cp -R "$scratch/src" "$scratch/pristine"
src=$scratch/src build=$scratch/build

# Builds the unit test programs (all of the tree until they are known).
build() {
    # shellcheck disable=SC2086
    cmake --build "$build" --parallel "$jobs" ${targets:+--target $targets} >"$scratch/build.log" 2>&1
}

# The unit tests that failed, one per line, as "name (why)"; none when all passed.
failed_tests() {
    (cd "$build" && ctest -L unit --parallel "$jobs" --stop-on-failure 2>&1 || true) |
        sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (\(.*\))$/\1 (\2)/p'
}

# Replaces the one occurrence of a text in a file; fails when it stands there 0 or 2+ times.
apply_break() {
    FROM=$2 TO=$3 perl -0777 -i -pe '
        BEGIN { ($from, $to) = ($ENV{FROM}, $ENV{TO}); s/\{NL\}/\n/g for $from, $to; }
        my $at = index($_, $from);
        die "stands 0 times\n" if $at < 0;
        die "stands more than once\n" if index($_, $from, $at + 1) >= 0;
        substr($_, $at, length $from) = $to;' "$1"
}

started=$(date +%s)
# -O1: each break rebuilds quickly, and the tests still run at almost a release build's pace.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O1 -DZOP_TESTS=ON \
    >"$scratch/configure.log" 2>&1 ||
    { cat "$scratch/configure.log"; exit 1; }
build || { cat "$scratch/build.log"; echo "the unbroken tree does not build"; exit 1; }
targets=$(cd "$build" && ctest -L unit --show-only=json-v1 | grep -o '"/[^"]*"' | tr -d '"' |
    while read -r path; do
        # Programs of this build only: a compile check's command is the compiler.
        case $path in "$build"/*) if [ -f "$path" ] && [ -x "$path" ]; then basename "$path"; fi ;; esac
    done |
    sort -u | tr '\n' ' ')
baseline=$(failed_tests)
if [ -n "$baseline" ]; then
    printf 'the unbroken tree fails unit tests:\n%s\n' "$baseline"
    exit 1
fi

number=0 survived=0 stale=0
while IFS= read -r line; do
    case "$line" in '' | '#'*) continue ;; esac
    number=$((number + 1))
    file=${line%% @@ *} rest=${line#* @@ }
    from=${rest%% @@ *} rest=${rest#* @@ }
    to=${rest%% @@ *} what=${rest#* @@ }
    if ! problem=$(apply_break "$src/$file" "$from" "$to" 2>&1); then
        verdict="NO LONGER APPLIES: the text $problem in $file"
        stale=$((stale + 1))
    elif ! build; then
        verdict="NO LONGER APPLIES: the broken $file does not build"
        stale=$((stale + 1))
    else
        caught=$(failed_tests)
        if [ -z "$caught" ]; then
            verdict="SURVIVED every unit test"
            survived=$((survived + 1))
        else
            verdict="caught by $(printf '%s\n' "$caught" | head -n 2 | paste -sd ';' -)"
            [ "$(printf '%s\n' "$caught" | wc -l)" -gt 2 ] &&
                verdict="$verdict and $(($(printf '%s\n' "$caught" | wc -l) - 2)) more"
        fi
    fi
    cp "$scratch/pristine/$file" "$src/$file"
    printf '%2d  %-66s %s\n' "$number" "$what" "$verdict"
done <"$list"
build || { cat "$scratch/build.log"; echo "the tree does not build again after the breaks"; exit 1; }

echo "$number breaks in $(($(date +%s) - started)) s: $((number - survived - stale)) caught," \
    "$survived survived, $stale no longer apply"
[ "$survived" -eq 0 ] && [ "$stale" -eq 0 ]
