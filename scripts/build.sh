#!/bin/sh
# Configures and builds one of the builds into build/NAME.
# Usage: build.sh native|asan|fuzz|win64|win32
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
name=$1
case "$name" in
  native) set -- ;;
  asan)   set -- -DCONVERTER_SANITIZE=ON ;;
  fuzz)   export CC=clang CXX=clang++
          set -- -DCONVERTER_FUZZ=ON -DCONVERTER_SANITIZE=ON -DCONVERTER_RUN_TESTS=OFF ;;
  win64)  set -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" ;;
  # 32-bit Windows programs cannot run on machines without 32-bit execution
  # (ours): this build is compiled and its export table checked; pass
  # -DCONVERTER_RUN_TESTS=ON where Wine can run it.
  win32)  set -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DCONVERTER_RUN_TESTS=OFF ;;
  *) echo "usage: build.sh native|asan|fuzz|win64|win32" >&2; exit 1 ;;
esac
cmake -S "$top" -B "$top/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$top/build/$name" -j2
