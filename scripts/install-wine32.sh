#!/bin/sh
# Installs Wine's 32-bit half (wine32:i386), as root, and says on standard
# error which way it went.
#
# The normal install comes first. It fails where the mirror's i386 security
# list is out of step with the amd64 one: a multi-arch library whose amd64
# copy came from the security list then has no i386 copy of the same
# version. The second try takes both architectures' libraries from the
# release itself (-t bookworm): every library of wine32's dependencies
# whose installed amd64 copy is newer than the release's i386 one is pinned
# to the release's version in both architectures (a downgrade of the amd64
# copy), and the other amd64 libraries move to the release's versions where
# the i386 ones need it.
#
# Usage: install-wine32.sh [--simulate]   (--simulate: apt-get -s, no change)
# Exit 0 when wine32:i386 is installed (or would be, with --simulate).
set -u
top=$(cd "$(dirname "$0")/.." && pwd)
release=bookworm
simulate="" done=installed
[ "${1:-}" = "--simulate" ] && simulate=-s done="would be installed"

say() { echo "wine32: $*" >&2; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

if [ -z "$simulate" ] && installed wine32:i386; then
  exit 0
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386 || { say "the i386 architecture could not be added"; exit 1; }
fi

if [ -z "$simulate" ]; then
  if "$top/scripts/apt-install.sh" wine32:i386; then
    say "$done from the mirror's current lists"
    exit 0
  fi
else
  apt-get update -q >/dev/null 2>&1
  if apt-get install -s -q --no-install-recommends wine32:i386 >/dev/null 2>&1; then
    say "$done from the mirror's current lists"
    exit 0
  fi
fi

# The release's version of an i386 package; empty when the release has none.
release_version() {
  apt-cache madison "$1:i386" |
    awk -F'|' -v suite=" $release/" 'index($3, suite) {gsub(/ /, "", $2); print $2; exit}'
}

say "the normal install failed; taking both architectures' libraries from the $release release"
pins=""
for p in $(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
             --no-replaces --no-enhances wine32:i386 2>/dev/null | grep -v '^ ' | sed -n 's/:i386$//p' | sort -u); do
  mine=$(dpkg-query -W -f='${Version}' "$p:amd64" 2>/dev/null) || continue
  [ -n "$mine" ] || continue
  theirs=$(release_version "$p")
  [ -n "$theirs" ] || continue
  if dpkg --compare-versions "$mine" gt "$theirs"; then
    say "pinning $p to $theirs in both architectures (amd64 has $mine)"
    pins="$pins $p:amd64=$theirs $p:i386=$theirs"
  fi
done

export DEBIAN_FRONTEND=noninteractive
# shellcheck disable=SC2086
if apt-get install $simulate -y -q --no-install-recommends -t "$release" --allow-downgrades wine32:i386 $pins >/dev/null; then
  say "$done from the $release release${pins:+, with$pins}"
  exit 0
fi
say "the install from the $release release failed too"
exit 1
