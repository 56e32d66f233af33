#!/bin/sh
# Sets everything up, builds, makes sample tables in demo/db1, runs the
# console front end over them (a dry run, the conversion, the conversion
# again with nothing left to write), then starts the converter's window on
# fresh tables under Wine. Drive D: of the demo's Wine prefix is the demo
# folder and both programs start there, so their default paths
# (\db1\vm001.dbf and the others) name the sample tables.
# With $DISPLAY set the window appears there; without one the converter
# runs on a virtual display (Xvfb) and demo/converter.png shows it.
# The shipped 32-bit programs run the demo wherever this machine can run
# them (scripts/win32-ready.sh), the 64-bit build elsewhere. It installs
# and builds only what it runs: the sample-table maker and the two
# programs of one architecture (build output is shown only if a build
# fails).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)
"$top/scripts/apt-install.sh" cmake ninja-build g++ libgtest-dev googletest \
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 \
  wine wine64 xvfb fonts-wine imagemagick

if why=$("$top/scripts/win32-ready.sh" "$top/build/win32/wineprefix"); then
  arch=win32
  echo "== the shipped 32-bit programs run the demo"
else
  arch=win64
  echo "== the 64-bit programs run the demo: $why"
fi
build() {
  log=$(mktemp)
  if ! CONVERTER_TARGETS="$2" "$top/scripts/build.sh" "$1" >"$log" 2>&1; then
    cat "$log"
    exit 1
  fi
  rm -f "$log"
}
echo "== building the sample-table maker and the $arch programs"
build native vmgen
build $arch "converter vmconvert"

demo="$top/demo"
mkdir -p "$demo/db1"
gen="$top/build/native/tools/vmgen"
echo "making sample tables in $demo/db1"
"$gen" small "$demo/db1/vm001.dbf" 12000            # the live table, small layout
"$gen" big "$demo/db1/vm001_big.dbf" 12000 40        # some fields differ from the live table
"$gen" small "$demo/db1/vm001_small.dbf" 12000 40
"$gen" personal "$demo/db1/kxpersonal.dbf" 500
"$gen" personal "$demo/db1/kxpers_new.dbf" 500 20
rm -f "$demo"/db1/*_old.dbf

programs="$top/build/$arch"
prefix="$programs/demoprefix"
run() { CONVERTER_GRAPHICS=x11 "$top/scripts/wine-run.sh" "$prefix" $arch "$@"; }
# The prefix's processes end before the virtual display goes, so that none
# of them reports the display's loss.
end_wine() { WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true; WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true; }
if [ -z "${DISPLAY:-}" ]; then
  Xvfb :58 -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb=$!
  trap 'end_wine; kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true' EXIT
  export DISPLAY=:58
  sleep 1
fi
run cmd /c exit 0 >/dev/null 2>&1 || true   # makes the prefix
ln -sfn "$demo" "$prefix/dosdevices/d:"
cd "$demo"
vmconvert() { run "$programs/vmconvert/vmconvert.exe" "$@"; }
echo "== vmconvert small-to-big --dry-run (the first listed fields, then the summary)"
vmconvert small-to-big --dry-run >dry-run.txt
grep -m 5 '^record' dry-run.txt
sed -n '/^records compared/,$p' dry-run.txt | head -n 8
echo "   ... (the whole list is in demo/dry-run.txt)"
echo "== vmconvert small-to-big"
vmconvert small-to-big | sed -n '/^records compared/,/^fields written/p'
echo "== vmconvert small-to-big, again: nothing is left to write"
vmconvert small-to-big | sed -n '/^fields written/p'

echo "== the converter's window, on fresh tables"
"$gen" big "$demo/db1/vm001_big.dbf" 12000 40
if [ -n "${xvfb:-}" ]; then
  run "$programs/app/converter.exe" &
  sleep 8
  import -window root -crop 660x480+0+0 "$demo/converter.png"
  echo "no display: the converter ran on a virtual one; see $demo/converter.png"
  end_wine
else
  echo "starting the converter on $DISPLAY"
  run "$programs/app/converter.exe"
fi
echo "== demo done in $(( $(date +%s) - started )) s"
