#!/bin/sh
# Sets everything up and runs every test of every build:
#   native engine tests and interoperability, the same under ASan/UBSan,
#   a short fuzzing run, the Windows tests under Wine for the 64-bit build,
#   and for the shipped 32-bit build wherever this machine can run it (its
#   export table everywhere).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/setup.sh"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

if why=$("$top/scripts/win32-ready.sh" "$top/build/win32/wineprefix"); then
  win32_tests=ON
  echo "== this machine runs 32-bit Windows programs: the 32-bit suite runs too"
else
  win32_tests=OFF
  echo "== 32-bit suite skipped: $why; only the 32-bit export table is checked"
fi

for b in native asan fuzz win64; do
  echo "== build $b"
  "$top/scripts/build.sh" $b
done
echo "== build win32"
"$top/scripts/build.sh" win32 -DCONVERTER_RUN_TESTS=$win32_tests

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
