#!/bin/sh
# Makes the release: dist/voicemail-converter-VERSION-win32.zip with the
# shipped 32-bit converter.exe and vmconvert.exe, and
# dist/voicemail-converter-VERSION-win64.zip with the same programs for
# 64-bit Windows, each with the operator's guide (HTML with its pictures),
# the scheduled-task recipes (recipes/*.cmd), the kit for DLLs that use
# the exported classes (kit/: headers, import libraries, reference,
# example), NOTICE.txt and SHA256SUMS;
# and dist/SHA256SUMS, the checksums of the zips themselves, to publish
# beside them, so that a zip can be checked as the one released.
#
# Build once, test, then pack: each architecture's programs are built as
# released (Release, stripped: scripts/build.sh win32 and win64-release),
# its whole suite runs on those very files, and the zip takes them
# unchanged. The script checks that they carry no debug section and that
# the version (from the CMake project, the one place it is set) is in both
# version resources and in `vmconvert --version`; after packing it unpacks
# the zip, compares each program with the tested build, checks SHA256SUMS
# and builds the kit's example from the unpacked kit alone.
#
# Each zip is made where this machine can test its programs (the 32-bit
# ones need a machine that runs 32-bit programs; scripts/win32-ready.sh
# finds out); the script says which it could not make and why. --untested
# packs those anyway, and NOTICE.txt of such a zip says that it was not
# tested and why. The status is 1 when no zip was made.
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

# Prints its argument as a line as it stands (dash's echo would take the
# "\n" of "recipes\nightly.cmd" for a line break).
say() { printf '%s\n' "$1"; }

# Why this machine cannot test arch's programs; nothing when it can.
cannot_test() {
  case $1 in
    win32) out=$("$top/scripts/win32-ready.sh" "$top/build/win32/wineprefix") || echo "$out" ;;
    win64) "$top/scripts/wine-run.sh" "$top/build/win64-release/wineprefix" win64 cmd /c exit 0 >/dev/null 2>&1 ||
             echo "64-bit Windows programs do not run under Wine here" ;;
  esac
}

# Builds, tests, checks and packs arch (win32 or win64); why_untested is
# empty for a tested build.
release() {
  arch=$1 why_untested=$2
  case $arch in
    win32) build="$top/build/win32" triple=i686-w64-mingw32 bits=32 ;;
    win64) build="$top/build/win64-release" triple=x86_64-w64-mingw32 bits=64 ;;
  esac
  name="voicemail-converter-$version-$arch"
  buildname=$(basename "$build")
  if [ -z "$why_untested" ]; then
    echo "== building and testing the $bits-bit programs of $version"
    "$top/scripts/build.sh" "$buildname" -DCONVERTER_RUN_TESTS=ON
    (cd "$build" && ctest --output-on-failure -j2)
  else
    echo "== building the $bits-bit programs of $version, untested: $why_untested"
    "$top/scripts/build.sh" "$buildname" -DCONVERTER_RUN_TESTS=OFF
  fi
  converter="$build/app/converter.exe"
  vmconvert="$build/vmconvert/vmconvert.exe"

  echo "== checking the $bits-bit programs"
  for exe in "$converter" "$vmconvert"; do
    if "$triple-objdump" -h "$exe" | grep -q '\.debug'; then
      echo "release: $exe has debug sections" >&2
      exit 1
    fi
    # The version resource holds its texts in UTF-16.
    if ! strings -el "$exe" | grep -qxF "$version"; then
      echo "release: the version resource of $exe does not say $version" >&2
      exit 1
    fi
  done
  if [ -z "$why_untested" ]; then
    said=$("$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" "$vmconvert" --version | tr -d '\r')
    [ "$said" = "vmconvert $version" ] || { echo "release: vmconvert --version said '$said'" >&2; exit 1; }
  fi

  echo "== packing $name.zip"
  stage=$(mktemp -d)
  mkdir -p "$stage/$name"
  cp "$converter" "$vmconvert" "$stage/$name/"
  /usr/bin/python3 "$top/scripts/render-guide.py" "$top/docs/operator-guide.md" "$stage/$name/operator-guide.html"
  mkdir -p "$stage/$name/images" "$stage/$name/recipes"
  cp "$top"/docs/images/*.png "$stage/$name/images/"
  cp "$top"/recipes/*.cmd "$stage/$name/recipes/"
  mkdir -p "$stage/$name/kit"
  cp -r "$build/kit/include" "$build/kit/lib" "$build/kit/example" "$build/kit/REFERENCE.md" "$stage/$name/kit/"
  {
    say "Voicemail table converter $version for Windows ($bits-bit)"
    say ""
    say "converter.exe      the converter's window"
    say "vmconvert.exe      the same conversions for scripts and scheduled tasks"
    say "operator-guide.html  how to install, run, schedule, undo and restore"
    say "recipes\\nightly.cmd  a nightly conversion for a scheduled task"
    say "recipes\\migrate.cmd  the one-time migration, with the swap and the service"
    say "                   stopped and started; copy them out of this folder first"
    say "kit\\               for programmers: headers, import libraries and an example"
    say "                   for a DLL that uses the classes the programs export;"
    say "                   kit\\REFERENCE.md says what they do. Not needed to convert."
    say "SHA256SUMS         the checksums of these files"
    say ""
    say "Install: copy converter.exe and vmconvert.exe to a folder on the server."
    say "Nothing else is needed. Read operator-guide.html first; its section"
    say "Installing says whether to take the 32-bit or the 64-bit programs."
    say ""
    if [ -n "$why_untested" ]; then
      say "NOT TESTED: these programs were built on a machine that could not run"
      say "them ($why_untested). Do not use them on a live server."
    else
      say "These programs passed the whole test suite as they are in this file."
    fi
  } | sed 's/$/\r/' >"$stage/$name/NOTICE.txt"
  (cd "$stage/$name" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | sort | xargs sha256sum >SHA256SUMS)
  mkdir -p "$top/dist"
  rm -f "$top/dist/$name.zip"
  (cd "$stage" && zip -q -r -X "$top/dist/$name.zip" "$name")
  rm -rf "$stage"

  echo "== checking $name.zip"
  check=$(mktemp -d)
  unzip -q "$top/dist/$name.zip" -d "$check"
  cmp "$check/$name/converter.exe" "$converter"
  cmp "$check/$name/vmconvert.exe" "$vmconvert"
  for recipe in "$top"/recipes/*.cmd; do cmp "$check/$name/recipes/$(basename "$recipe")" "$recipe"; done
  (cd "$check/$name" && sha256sum --quiet -c SHA256SUMS)
  grep -qF 'recipes\nightly.cmd' "$check/$name/NOTICE.txt" ||
    { say "release: NOTICE.txt of $name.zip does not name recipes\\nightly.cmd" >&2; exit 1; }
  (cd "$check/$name/kit/example" &&
     "$triple-g++-posix" -shared -static -O2 -Wall -Wextra -Werror -I ../include example.cpp ../lib/libconverter.dll.a \
       -o example.dll) || { echo "release: the kit's example does not build from $name.zip" >&2; exit 1; }
  for lib in libconverter.dll.a libvmconvert.dll.a; do
    [ -s "$check/$name/kit/lib/$lib" ] || { echo "release: $name.zip has no kit/lib/$lib" >&2; exit 1; }
  done
  rm -rf "$check"
  made="$made
release: dist/$name.zip ($(du -k "$top/dist/$name.zip" | cut -f1) KB)${why_untested:+, NOT TESTED}"
}

made="" skipped=""
for arch in win32 win64; do
  why=$(cannot_test $arch)
  if [ -n "$why" ] && [ "$untested_ok" != yes ]; then
    skipped="$skipped
release: no $arch zip: $why, so its programs cannot be tested here (--untested packs them anyway)"
    continue
  fi
  release $arch "$why"
done
# The zips' own checksums, made anew from every zip in dist/ now.
if [ -n "$made" ]; then
  (cd "$top/dist" && sha256sum "voicemail-converter-$version-"*.zip >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
  made="$made
release: dist/SHA256SUMS (the zips' checksums, to publish beside them)"
fi
printf '%s\n' "$made$skipped" | sed '/^$/d'
[ -n "$made" ]
