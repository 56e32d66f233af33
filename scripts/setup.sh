#!/bin/sh
# Installs what building and testing need on Debian 12, as root. Does
# nothing for packages that are already there.
set -eu
"$(dirname "$0")/apt-install.sh" cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest \
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 \
  wine wine64 python3-dbfread python3-dbf libdbd-xbase-perl gdal-bin socat xvfb fonts-wine imagemagick nlohmann-json3-dev
