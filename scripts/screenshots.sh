#!/bin/sh
# Pictures of the converter's three dialogs, as Wine draws them on a virtual
# X display (Xvfb): shots/main.png, shots/about.png, shots/progress.png.
# A disabled UI test opens each dialog in turn and waits while this script
# takes it; it also prints each template's size in pixels beside the
# window's client area.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/apt-install.sh" xvfb fonts-wine
"$top/scripts/build.sh" win64
out="$top/shots"
rm -rf "$out" && mkdir -p "$out"
Xvfb :57 -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=:57
CONVERTER_GRAPHICS=x11 CONVERTER_SHOTS="Z:$out" \
  "$top/scripts/wine-run.sh" "$top/build/win64/shotprefix" win64 "$top/build/win64/tests/ui_test.exe" \
  --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*' | grep -E 'template|OK \]|FAILED' &
test=$!
for name in main about progress; do
  while [ ! -f "$out/$name.ready" ]; do sleep 0.2; done
  sleep 0.5
  import -window root -crop "$(cat "$out/$name.ready")" +repage "$out/$name.png"
  touch "$out/$name.done"
done
wait $test
rm -f "$out"/*.ready "$out"/*.done
ls -l "$out"
