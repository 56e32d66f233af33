#!/bin/sh
# Configures and builds one of the builds into build/NAME. Further
# arguments go to cmake after the build's own (so they win).
# Usage: build.sh native|asan|fuzz|win64|win32 [-DNAME=VALUE ...]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
name=$1
shift
case "$name" in
  native) ;;
  asan)   set -- -DCONVERTER_SANITIZE=ON "$@" ;;
  fuzz)   export CC=clang CXX=clang++
          set -- -DCONVERTER_FUZZ=ON -DCONVERTER_SANITIZE=ON -DCONVERTER_RUN_TESTS=OFF "$@" ;;
  win64)  set -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" "$@" ;;
  # The shipped program. Its tests are registered only with
  # -DCONVERTER_RUN_TESTS=ON, on machines that can run it
  # (scripts/win32-ready.sh finds out).
  win32)  set -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DCONVERTER_RUN_TESTS=OFF "$@" ;;
  *) echo "usage: build.sh native|asan|fuzz|win64|win32 [cmake arguments]" >&2; exit 1 ;;
esac
cmake -S "$top" -B "$top/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$top/build/$name" -j2
