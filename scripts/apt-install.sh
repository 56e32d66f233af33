#!/bin/sh
# Installs the named Debian packages that are missing, as root. A package
# list that fails to download (a mirror in the middle of a sync answers with
# a file of the wrong size) is fetched again a few times; lists that still
# fail are left, and the install decides: it works whenever the lists it
# needs came through, now or earlier.
# Usage: apt-install.sh PACKAGE...   Exit 0 when every package is installed.
set -u
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing" >&2
export DEBIAN_FRONTEND=noninteractive
for try in 1 2 3; do
  apt-get update -q >/dev/null && break
  echo "apt-get update failed (try $try of 3)" >&2
  sleep $((try * 3))
done
for try in 1 2; do
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing >/dev/null && exit 0
  echo "apt-get install failed (try $try of 2)" >&2
  apt-get update -q >/dev/null
done
exit 1
