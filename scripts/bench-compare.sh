#!/bin/sh
# The conversion's cost against an independent dBASE library, in one run on
# the same generated tables (12000 records, live small layout, big layout):
#   - the real small-to-big job, vmconvert.exe under Wine (the shipped
#     32-bit build where this machine runs it, else the 64-bit one), with
#     its journal (as every run keeps it) and with --no-journal; its figure
#     is the job's own time, which leaves process start-up out;
#   - the same compare-and-write loop on our engine, natively
#     (bench/compare_write_loop.cc);
#   - the loop over Debian's shapelib, natively (bench/shp_loop.c).
# Twice: tables that agree, and every copied field differing; each run
# BENCH_RUNS times (default 5), the four in turn on fresh tables. Prints
# the median times, their ratios to shapelib, and the journal's cost (the
# job with it against the job without). BENCH_JOB_ARGS adds to the job's
# command line.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/apt-install.sh" libshp-dev
if "$top/scripts/win32-ready.sh" "$top/build/win32/wineprefix" >/dev/null; then arch=win32; else arch=win64; fi
for b in native $arch; do "$top/scripts/build.sh" $b >/dev/null; done
cc -O2 -o "$top/build/native/bench/shp_loop" "$top/bench/shp_loop.c" -lshp

work=$(mktemp -d /tmp/bench-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
gen="$top/build/native/tools/vmgen"
runs=${BENCH_RUNS:-5}
seconds() { tr -d '\r' | sed -n 's/^\([0-9.]*\) s.*/\1/p'; }
fresh() {
  "$gen" small "$work/vm001.dbf" 12000 >/dev/null
  "$gen" big "$work/vm001_big.dbf" 12000 ${1:-} >/dev/null
}
# The job's own seconds, from its report; its arguments go to vmconvert.
job() {
  rm -rf "$work/report.json" "$work/vmconvert-journal"  # nothing read from an earlier run
  "$top/scripts/wine-run.sh" "$top/build/$arch/wineprefix" $arch "$top/build/$arch/vmconvert/vmconvert.exe" \
    small-to-big --live "Z:$work/vm001.dbf" --big "Z:$work/vm001_big.dbf" --report "Z:$work/report.json" \
    ${BENCH_JOB_ARGS:-} "$@" >/dev/null 2>&1 || true
  /usr/bin/python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["seconds"])' "$work/report.json"
}
# Each of the four, runs times in turn on fresh tables; the median of each.
for case in agree differ; do
  every=""; [ $case = differ ] && every=1
  wine=""; bare=""; ours=""; shp=""
  i=0
  while [ $i -lt "$runs" ]; do
    fresh $every; wine="$wine $(job)"
    fresh $every; bare="$bare $(job --no-journal)"
    fresh $every; ours="$ours $("$top/build/native/bench/compare_write_loop" "$work/vm001.dbf" "$work/vm001_big.dbf" | seconds)"
    fresh $every; shp="$shp $("$top/build/native/bench/shp_loop" "$work/vm001.dbf" "$work/vm001_big.dbf" | seconds)"
    i=$((i + 1))
  done
  /usr/bin/python3 - "$case" "$arch${BENCH_JOB_ARGS:+, $BENCH_JOB_ARGS}" "$wine" "$bare" "$ours" "$shp" <<'PY'
import statistics, sys
case, arch = sys.argv[1], sys.argv[2]
wine, bare, ours, shp = (statistics.median(map(float, a.split())) for a in sys.argv[3:])
print(f"{case:7s} job under Wine ({arch}) {wine:.3f} s ({wine / shp:.2f}x), without its journal {bare:.3f} s "
      f"({bare / shp:.2f}x; the journal costs {wine / bare:.2f}x)   engine loop {ours:.3f} s ({ours / shp:.2f}x)   "
      f"shapelib loop {shp:.3f} s   (medians of {len(sys.argv[3].split())} runs)")
PY
done
