#!/bin/sh
# The kit the way a caller uses it: the kit copied out of the build, the
# example DLL compiled from that copy alone (its headers and the import
# library of converter.exe, no source of ours), then loaded into a running
# converter.exe under Wine (tests/kit/inject.cc). The DLL calls exported
# operations of CLogFile, CDosFile and CDatabase and writes each result;
# every one must be a success and the data must read back.
# Usage: kit_test.sh BUILD-FOLDER win64|win32 C++-COMPILER
set -u
build=$1; arch=$2; cxx=$3
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/converter-kit.XXXXXX)
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr / '\\'; }

mkdir "$work/kit"
cp -r "$build/kit/include" "$build/kit/lib" "$build/kit/example" "$work/kit/" || exit 1
cd "$work/kit/example" || exit 1
if ! "$cxx" -shared -O2 -Wall -Wextra -Werror -static -I ../include example.cpp ../lib/libconverter.dll.a \
       -o example.dll; then
  echo "FAIL: the example does not build from the kit alone"
  exit 1
fi

"$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" "$build/tests/inject.exe" \
    "$(win "$build/app/converter.exe")" "$(win "$work/kit/example/example.dll")" "$(win "$work/results.txt")" 120 \
    >"$work/out.txt" 2>&1
status=$?
tr -d '\r' <"$work/out.txt" >"$work/results"
fails=0
[ "$status" -eq 0 ] || { echo "FAIL: the example did not finish inside the converter (status $status)"; fails=1; }
for line in "CLogFile::Create 1" "CLogFile::Write 1" "CLogFile::Close 1" "CDosFile::Open 1" "CDosFile::ReadLine 1" \
            "read back: first line" "CDosFile::Close 1" "CDatabase::Create 1" "CDatabase::Append 1" \
            "CDatabase::Replace NAME 1" "CDatabase::Replace COUNT 1" "CDatabase::RecCount 1" \
            "CDatabase::Read NAME 1" "CDatabase::Read COUNT 1" "read back: hello 42" "CDatabase::Close 1" "done"; do
  grep -qxF -- "$line" "$work/results" || { echo "FAIL: the results lack \"$line\""; fails=1; }
done
[ "$fails" -eq 0 ] || { echo "what came:"; cat "$work/results"; exit 1; }
echo "the kit's example ran inside converter.exe: every call succeeded"
