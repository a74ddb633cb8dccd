#!/bin/sh
# tools/compare-bench.sh refuses what it cannot compare before it builds
# anything: each refusal exits with status 2, says why on standard error, and
# leaves no worktree behind.
#
# usage: check_compare_bench.sh COMPARE_BENCH_SH
# exit status: 0 passed, 1 failed
script=$(readlink -f "$1")
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

# refused NAME EXPECTED_TEXT ARGUMENT...
refused() {
  name=$1 text=$2
  shift 2
  TMPDIR=$work "$script" "$@" >"$work/out" 2>"$work/err"
  got=$?
  if [ "$got" -ne 2 ] || ! grep -q -- "$text" "$work/err" || [ -e "$work/quilfen-compare" ]; then
    echo "FAIL: $name: status $got (expected 2), standard error:"
    sed 's/^/    /' "$work/err"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

refused "no revision" "usage:"
refused "unknown option" "usage:" HEAD --fast
refused "rounds without a number" "usage:" HEAD --rounds
refused "zero rounds" "whole number from 1" HEAD --rounds 0
refused "rounds not a number" "whole number from 1" HEAD --rounds=three
refused "not a revision" "is not a revision" no-such-revision-here

[ "$failures" -eq 0 ]
