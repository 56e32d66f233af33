#!/bin/sh
# Sets everything up and runs every test of every build:
#   native engine tests and interoperability, the same under ASan/UBSan,
#   a short fuzzing run, the Windows tests under Wine, and the export table
#   of the shipped 32-bit program.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

for b in native asan fuzz win64 win32; do
  echo "== build $b"
  "$top/scripts/build.sh" $b
done

echo "== fuzzing the table reader for ${FUZZ_SECONDS:-60} s"
corpus=$(mktemp -d)
cp fuzz/corpus/* "$corpus"/
build/fuzz/fuzz/table_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -max_len=4096 "$corpus" 2>&1 | tail -n 3
rm -rf "$corpus"

status=0
for b in native asan win32 win64; do
  echo "== tests: $b"
  (cd "build/$b" && ctest --output-on-failure -j2) || status=1
done
wineserver -k 2>/dev/null || true
exit $status
