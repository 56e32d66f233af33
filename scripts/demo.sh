#!/bin/sh
# Sets everything up, builds, and runs the tool's main job: for now it
# makes a sample table in demo/ and prints it back.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" win64
"$top/scripts/build.sh" win32
mkdir -p "$top/demo"
"$top/scripts/wine-run.sh" "$top/build/win64/wineprefix" win64 \
  "$top/build/win64/app/converter.exe" "Z:$top/demo/sample.dbf"
