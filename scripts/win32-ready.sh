#!/bin/sh
# Finds out by trying whether this machine can run the shipped 32-bit
# Windows programs, and sets up what they need when it can.
#   1. A tiny 32-bit x86 Linux program (written out byte by byte below) must
#      run and exit with 42: without 32-bit execution no 32-bit Wine starts.
#   2. Wine's 32-bit half (wine32:i386) is installed when it is missing
#      (scripts/install-wine32.sh: from the mirror's lists, else from the
#      release's own).
#   3. A tiny 32-bit Windows program, built with the cross compiler, must
#      run under Wine in a 32-bit prefix and exit with 42.
# Exit 0 when all three hold. Otherwise exit 1 and print one line saying
# why the 32-bit programs cannot run here.
# Usage: win32-ready.sh PREFIX   (the 32-bit Wine prefix to use)
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
prefix=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# ELF32 header, one loadable segment, then: mov eax,1; mov ebx,42; int 0x80.
/usr/bin/python3 - "$work/probe32" <<'EOF'
import struct, sys
base, code = 0x08048000, bytes.fromhex("b801000000bb2a000000cd80")
size = 52 + 32 + len(code)
elf = b"\x7fELF\x01\x01\x01" + bytes(9)
elf += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
elf += struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
open(sys.argv[1], "wb").write(elf + code)
EOF
chmod +x "$work/probe32"
"$work/probe32" 2>/dev/null
if [ $? -ne 42 ]; then
  echo "this machine cannot execute 32-bit x86 code (a 32-bit test program did not run)"
  exit 1
fi

if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "installing wine32:i386 for the 32-bit programs" >&2
  if ! "$top/scripts/install-wine32.sh"; then
    echo "Wine's 32-bit support (wine32:i386) could not be installed"
    exit 1
  fi
fi

printf 'int main(void) { return 42; }\n' >"$work/probe.c"
if ! i686-w64-mingw32-gcc -o "$work/probe.exe" "$work/probe.c" 2>/dev/null; then
  echo "the 32-bit cross compiler could not build a test program"
  exit 1
fi
"$top/scripts/wine-run.sh" "$prefix" win32 "$work/probe.exe" >/dev/null 2>&1
status=$?
if [ $status -ne 42 ]; then
  echo "Wine did not run a 32-bit Windows test program (status $status)"
  exit 1
fi
exit 0
