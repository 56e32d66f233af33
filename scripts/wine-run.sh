#!/bin/sh
# Runs a Windows program under Wine in the build's own prefix, making the
# prefix (with the null graphics driver, so windows need no display) the
# first time.  Usage: wine-run.sh PREFIX win32|win64 PROGRAM [ARGS...]
# CONVERTER_GRAPHICS=x11 makes a new prefix that shows windows on $DISPLAY.
set -eu
prefix=$1; arch=$2; shift 2
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
if [ "$arch" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
else
  wine=wine
fi
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.converter-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "${CONVERTER_GRAPHICS:-null}" /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # The desktop process started by wineboot chose its graphics driver
    # before the key above existed; end the prefix's processes so the next
    # start uses the null driver.
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    touch "$prefix/.converter-ready"
  fi
) 9>"$prefix.lock"
exec "$wine" "$@"
