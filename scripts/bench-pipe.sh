#!/bin/sh
# The pipe service beside a bare Win32 echo (bench/pipe_load.cpp), for the
# library of this tree and that of an earlier commit, in one run: both
# builds take the same bench, the same flags and the same machine, and
# run turn about, BENCH_RUNS rounds (default 3) of each message size
# (1000 and 8187 bytes, 4 client processes of one connection). Prints,
# per build and round, messages a second of the bare echo, of the service
# with bare clients and with CNamedPipe clients, and the ratios to the
# bare echo.
# Usage: bench-pipe.sh [BEFORE-COMMIT [win64|win32]]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
before=${1:-HEAD}
arch=${2:-win64}
case $arch in
  win64) triple=x86_64-w64-mingw32 ;;
  win32) triple=i686-w64-mingw32 ;;
  *) echo "bench-pipe: win64 or win32, not $arch" >&2; exit 2 ;;
esac
"$top/scripts/setup.sh"
work=$(mktemp -d /tmp/bench-pipe.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/now" "$work/before"
(cd "$top" && tar cf - lib export tests/support/pipe_echo.h tests/support/pipe_echo.cc) | tar xf - -C "$work/now"
(cd "$top" && git archive "$before" lib export tests/support/pipe_echo.h tests/support/pipe_echo.cc) |
  tar xf - -C "$work/before"
for build in now before; do
  (cd "$work/$build" &&
     "$triple-g++-posix" -std=c++17 -O2 -static -I. -I"$top" -DCONVERTER_BUILDING "$top/bench/pipe_load.cpp" \
       tests/support/pipe_echo.cc $(ls lib/CNamedPipe.cpp lib/CPipeService.cpp lib/ServiceStop.cpp lib/FlushWatch.cpp 2>/dev/null) \
       -o "$work/pipe_load_$build.exe")
done
# The bench includes the library's headers by their place in the tree: the
# builds' own lib/ comes first on the path.
prefix="$top/build/$arch/wineprefix"
runs=${BENCH_RUNS:-3}
for size in "2000 1000" "1000 8187"; do
  set -- $size
  echo "== messages of $2 bytes, 4 processes x 1 connection x $1 messages (bare, service+bare clients, service+CNamedPipe clients, messages/s)"
  for round in $(seq "$runs"); do
    for build in before now; do
      "$top/scripts/wine-run.sh" "$prefix" "$arch" "$work/pipe_load_$build.exe" 4 1 "$1" "$2" | tr -d '\r' |
        awk -v b="$build" '
          / messages\/s answered / { for (i = 1; i <= NF; i++) if ($i == "messages/s") f[++n] = $(i - 1) }
          / lost or wrong$/ && $(NF - 3) != 0 { lost = 1 }
          END { printf "%-6s %6d %6d %6d   %.2fx %.2fx%s\n", b, f[1], f[2], f[3], f[2] / f[1], f[3] / f[1], lost ? "  LOST" : "" }'
    done
  done
done
