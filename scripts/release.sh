#!/bin/sh
# Makes the release: dist/voicemail-converter-VERSION-win32.zip with the
# shipped 32-bit converter.exe and vmconvert.exe, the operator's guide
# (HTML with its pictures), NOTICE.txt and SHA256SUMS.
#
# Build once, test, then pack: the 32-bit programs are built as released
# (scripts/build.sh win32: Release, stripped), the whole 32-bit suite runs
# on those very files, and the zip takes them unchanged. The script checks
# that they carry no debug section and that the version (from the CMake
# project, the one place it is set) is in both version resources and in
# `vmconvert --version`; after packing it unpacks the zip and compares
# each program with the tested build, and checks SHA256SUMS.
#
# A machine that cannot run 32-bit programs cannot test them: the script
# then stops before packing, unless --untested is given, and NOTICE.txt of
# such a zip says that it was not tested and why.
# Usage: release.sh [--untested]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
untested_ok=no
[ "${1:-}" = "--untested" ] && untested_ok=yes

"$top/scripts/setup.sh"
"$top/scripts/apt-install.sh" python3-markdown zip unzip
version=$(sed -n 's/^project(converter VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release: no version in CMakeLists.txt" >&2; exit 1; }
name="voicemail-converter-$version-win32"
build="$top/build/win32"

untested=""
if why=$("$top/scripts/win32-ready.sh" "$build/wineprefix"); then
  echo "== building and testing the 32-bit programs of $version"
  "$top/scripts/build.sh" win32 -DCONVERTER_RUN_TESTS=ON
  (cd "$build" && ctest --output-on-failure -j2)
else
  if [ "$untested_ok" != yes ]; then
    echo "release: $why; the 32-bit programs cannot be tested here (--untested packs them anyway)" >&2
    exit 1
  fi
  untested=$why
  echo "== building the 32-bit programs of $version, untested: $why"
  "$top/scripts/build.sh" win32
fi
converter="$build/app/converter.exe"
vmconvert="$build/vmconvert/vmconvert.exe"

echo "== checking the programs"
for exe in "$converter" "$vmconvert"; do
  if i686-w64-mingw32-objdump -h "$exe" | grep -q '\.debug'; then
    echo "release: $exe has debug sections" >&2
    exit 1
  fi
  # The version resource holds its texts in UTF-16.
  if ! strings -el "$exe" | grep -qxF "$version"; then
    echo "release: the version resource of $exe does not say $version" >&2
    exit 1
  fi
done
if [ -z "$untested" ]; then
  said=$("$top/scripts/wine-run.sh" "$build/wineprefix" win32 "$vmconvert" --version | tr -d '\r')
  [ "$said" = "vmconvert $version" ] || { echo "release: vmconvert --version said '$said'" >&2; exit 1; }
fi

echo "== packing $name.zip"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name"
cp "$converter" "$vmconvert" "$stage/$name/"
/usr/bin/python3 "$top/scripts/render-guide.py" "$top/docs/operator-guide.md" "$stage/$name/operator-guide.html"
mkdir -p "$stage/$name/images"
cp "$top"/docs/images/*.png "$stage/$name/images/"
{
  echo "Voicemail table converter $version for Windows (32-bit)"
  echo
  echo "converter.exe      the converter's window"
  echo "vmconvert.exe      the same conversions for scripts and scheduled tasks"
  echo "operator-guide.html  how to install, run, schedule, undo and restore"
  echo "SHA256SUMS         the checksums of these files"
  echo
  echo "Install: copy converter.exe and vmconvert.exe to a folder on the server."
  echo "Nothing else is needed. Read operator-guide.html first."
  echo
  if [ -n "$untested" ]; then
    echo "NOT TESTED: these programs were built on a machine that could not run"
    echo "them ($untested). Do not use them on a live server."
  else
    echo "These programs passed the whole test suite as they are in this file."
  fi
} | sed 's/$/\r/' >"$stage/$name/NOTICE.txt"
(cd "$stage/$name" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum >SHA256SUMS)
mkdir -p "$top/dist"
rm -f "$top/dist/$name.zip"
(cd "$stage" && zip -q -r -X "$top/dist/$name.zip" "$name")

echo "== checking the zip"
check=$(mktemp -d)
unzip -q "$top/dist/$name.zip" -d "$check"
cmp "$check/$name/converter.exe" "$converter"
cmp "$check/$name/vmconvert.exe" "$vmconvert"
(cd "$check/$name" && sha256sum --quiet -c SHA256SUMS)
rm -rf "$check"
echo "release: dist/$name.zip ($(du -k "$top/dist/$name.zip" | cut -f1) KB)${untested:+, NOT TESTED}"
