#!/bin/sh
# Runs test cases of a test program ($1, cases $2) under valgrind's memcheck:
# any invalid access, use of an undefined value or leak fails.  Skipped
# (exit code 77) when valgrind is not installed.
set -u
program=$1 cases=$2
if ! command -v valgrind >/dev/null 2>&1; then
    echo "valgrind is not installed: skipped"
    exit 77
fi
exec valgrind --quiet --error-exitcode=1 --leak-check=full \
    --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
    "$program" --gtest_filter="$cases"
