#!/bin/sh
# Configures and builds one of the builds into build/NAME. Further
# arguments go to cmake after the build's own (so they win).
# Usage: [CONVERTER_TARGETS="T ..."] build.sh native|asan|fuzz|win64|win32|win64-release [-DNAME=VALUE ...]
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
  # The shipped program, built as it is released (Release: no debug
  # sections, stripped), so that its tests test the very files released.
  # Its tests are registered only with -DCONVERTER_RUN_TESTS=ON, on
  # machines that can run it (scripts/win32-ready.sh finds out).
  win32)  set -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
                 -DCONVERTER_RUN_TESTS=OFF "$@" ;;
  # The 64-bit programs as released (for scripts/release.sh); tested by
  # the whole 64-bit suite there.
  win64-release) set -- -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release "$@" ;;
  *) echo "usage: build.sh native|asan|fuzz|win64|win32|win64-release [cmake arguments]" >&2; exit 1 ;;
esac
cmake -S "$top" -B "$top/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
# CONVERTER_TARGETS: build only these targets (the demo's few programs).
# shellcheck disable=SC2086
cmake --build "$top/build/$name" -j2 ${CONVERTER_TARGETS:+--target $CONVERTER_TARGETS}
