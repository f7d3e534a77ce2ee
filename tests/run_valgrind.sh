#!/bin/sh
# make test-valgrind: every native test program of a tree built without sanitizers, under
# valgrind's memcheck. Any error or leak fails the run.
# usage: run_valgrind.sh TREE
set -eu
cd "$1"
status=0
for test in *_test; do
    log="valgrind-$test.log"
    printf '%-20s ' "$test"
    if valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
        --track-fds=no "./$test" --gtest_brief=1 >"$log" 2>&1; then
        echo "clean ($(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$log" | tail -n 1) errors)"
    else
        echo "FAILED: see $1/$log"
        grep -E "FAILED|ERROR SUMMARY|definitely lost|indirectly lost|Invalid|uninitialised" "$log" | head -n 20
        status=1
    fi
done
exit $status
