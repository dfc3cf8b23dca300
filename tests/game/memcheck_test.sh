#!/bin/sh
# Runs test cases of a test program ($1, cases $2) under valgrind's memcheck:
# any invalid access, use of an undefined value or leak fails, and so does a
# filter that selects no case (a renamed test would otherwise pass unseen).
# Skipped (exit code 77) when valgrind is not installed.
set -u
program=$1 cases=$2
. "$(dirname "$0")/../skip.sh"
command -v valgrind >/dev/null 2>&1 || skip "valgrind is not installed"
selected=$("$program" --gtest_list_tests --gtest_filter="$cases" | grep -c '^  ')
if [ "$selected" -eq 0 ]; then
    echo "FAIL: no test case of $program matches $cases"
    exit 1
fi
echo "$selected test cases under memcheck"
exec valgrind --quiet --error-exitcode=1 --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    "$program" --gtest_filter="$cases"
