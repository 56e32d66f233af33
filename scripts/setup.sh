#!/bin/sh
# Installs what building and testing need on Debian 12, as root. Does
# nothing for packages that are already there.
set -eu
packages="cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  wine wine64 python3-dbfread python3-dbf socat xvfb imagemagick nlohmann-json3-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
