#!/bin/sh
# A real disk that fills: the tables and the journal folder on a small file
# system of their own (tmpfs), which the journal fills part-way through the
# run. The run must end with status 5 and its journal with an end line that
# says so, history must show status 5, and once the file system has grown
# undo must give the target back byte for byte. Needs root to mount the
# file system; without, says why and is skipped (status 77).
# Usage: small_disk_test.sh BUILD-FOLDER win64|win32
set -u
build=$1; arch=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
wine() { "$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" "$@"; }
fail() { printf "FAIL: %s\n" "$*"; exit 1; }

dir=$(mktemp -d /tmp/converter-small-disk.XXXXXX)
if ! mount -t tmpfs -o size=800k tmpfs "$dir" 2>/dev/null; then
  rmdir "$dir"
  echo "skipped: a small file system cannot be mounted here (mount -t tmpfs needs root)"
  exit 77
fi
trap 'umount "$dir"; rmdir "$dir"' EXIT
win=$(echo "Z:$dir" | tr / '\\')
wine "$build/tools/vmgen.exe" small "$win\\vm001.dbf" 300 || fail "vmgen small"
wine "$build/tools/vmgen.exe" big "$win\\vm001_big.dbf" 300 1 0 || fail "vmgen big"
cp "$dir/vm001_big.dbf" "$dir.original"
trap 'umount "$dir"; rmdir "$dir"; rm -f "$dir.original"' EXIT

out=$(wine "$build/vmconvert/vmconvert.exe" small-to-big --live "$win\\vm001.dbf" --big "$win\\vm001_big.dbf" 2>"$dir.err")
status=$?
err=$(cat "$dir.err"); rm -f "$dir.err"
[ "$status" -eq 5 ] || fail "the run ended with status $status, not 5: $err"
printf "%s" "$err" | grep -q "could not be written" || fail "no word of the journal that could not be written: $err"
journal=$(printf "%s\n" "$out" | sed -n 's/^journal: //p' | tr -d '\r')
[ -n "$journal" ] || fail "the run named no journal: $out"
unix=$(wine winepath -u "$journal" 2>/dev/null | tr -d '\r')
last=$(tail -n 1 "$unix")
case "$last" in
  *'"type":"end"'*'"status":5'*) ;;
  *) fail "the journal's last line is no end line of status 5: $last" ;;
esac
history=$(wine "$build/vmconvert/vmconvert.exe" history "$win\\vm001_big.dbf")
printf "%s\n" "$history" | grep -q "small-to-big  status 5 " || fail "history does not show status 5: $history"

mount -o remount,size=64m "$dir" || fail "the file system could not grow"
wine "$build/vmconvert/vmconvert.exe" undo "$journal" >/dev/null || fail "undo ended with status $?"
cmp -s "$dir/vm001_big.dbf" "$dir.original" || fail "undo did not give the table back byte for byte"
echo "a journal that filled a real disk ended with status 5 and its end line; undo gave the table back"
