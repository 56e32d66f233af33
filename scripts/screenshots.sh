#!/bin/sh
# Pictures of the converter's dialogs, as Wine draws them on a virtual X
# display (Xvfb): FOLDER/main.png, about.png, progress.png, history.png,
# undo-question.png and undo-done.png (FOLDER is docs/images, the operator's
# guide's pictures, unless given).
# A disabled UI test opens each dialog in turn and waits while this script
# takes it; it also prints each template's size in pixels beside the
# window's client area.
# Usage: screenshots.sh [FOLDER]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/apt-install.sh" xvfb fonts-wine
"$top/scripts/build.sh" win64
out=$(mkdir -p "${1:-$top/docs/images}" && cd "${1:-$top/docs/images}" && pwd)
names="main about progress history undo-question undo-done"
for name in $names; do rm -f "$out/$name.png"; done
Xvfb :57 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
prefix="$top/build/win64/shotprefix"
# The prefix's processes end before the display goes, so none reports its loss.
trap 'WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
      kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=:57
CONVERTER_GRAPHICS=x11 CONVERTER_SHOTS="Z:$out" \
  "$top/scripts/wine-run.sh" "$prefix" win64 "$top/build/win64/tests/ui_test.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*' | grep -E 'template|OK \]|FAILED' &
test=$!
for name in $names; do
  while [ ! -f "$out/$name.ready" ]; do sleep 0.2; done
  sleep 0.5
  import -window root -crop "$(cat "$out/$name.ready")" +repage "$out/$name.png"
  touch "$out/$name.done"
done
wait $test
rm -f "$out"/*.ready "$out"/*.done
for name in $names; do ls -l "$out/$name.png"; done
