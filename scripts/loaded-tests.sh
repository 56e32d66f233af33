#!/bin/sh
# Runs the README's test command RUNS times in a row (default 5) with two
# CPU-bound processes of its own beside it, and ends them by their ids
# afterwards. Prints one line per run and exits non-zero if any run failed.
# Usage: loaded-tests.sh [RUNS]
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
mkdir -p "$top/build"
sh -c 'while :; do :; done' & hog1=$!
sh -c 'while :; do :; done' & hog2=$!
trap 'kill $hog1 $hog2 2>/dev/null' EXIT
echo "load: processes $hog1 and $hog2 spin beside the tests"
failed=0
for i in $(seq 1 "$runs"); do
  start=$(date +%s)
  if "$top/scripts/test.sh" >"$top/build/loaded-run-$i.log" 2>&1; then result=passed; else result=FAILED; failed=$((failed + 1)); fi
  echo "run $i: $result in $(( $(date +%s) - start )) s (build/loaded-run-$i.log)"
done
kill $hog1 $hog2 2>/dev/null
echo "$((runs - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
