#!/bin/sh
# vmconvert history over a folder of large journals and over one of many
# small ones, timed as the operator meets it (the whole command, process
# start included): 60 journals of the full small-to-big run in which every
# copied field of the 12000 records differs (about 37 MB each), and 3000
# journals of a run over 10 records. The journals are copies of one real
# run's, each under its own name. BENCH_VMCONVERT names another vmconvert
# to time beside this tree's (an earlier build, for a before and after in
# one run). Prints the median of BENCH_RUNS (default 3) runs of each.
# Usage: bench-history.sh
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" native >/dev/null
CONVERTER_TARGETS="vmconvert" "$top/scripts/build.sh" win64 >/dev/null
work=$(mktemp -d /tmp/bench-history.XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix="$top/build/win64/wineprefix"
run() { "$top/scripts/wine-run.sh" "$prefix" win64 "$@"; }
gen="$top/build/native/tools/vmgen"
ours="$top/build/win64/vmconvert/vmconvert.exe"

# One real journal of each size, copied into its folder.
journal_of() {  # RECORDS FOLDER COPIES
  rm -rf "$work/t" && mkdir -p "$work/t" "$work/$2"
  "$gen" small "$work/t/vm001.dbf" "$1" >/dev/null
  "$gen" big "$work/t/vm001_big.dbf" "$1" 1 >/dev/null
  run "$ours" small-to-big --live "Z:$work/t/vm001.dbf" --big "Z:$work/t/vm001_big.dbf" >/dev/null 2>&1
  one=$(ls "$work/t/vmconvert-journal/"*.jsonl)
  i=0
  while [ $i -lt "$3" ]; do
    cp "$one" "$work/$2/$(printf '20261211-%06d-small-to-big.jsonl' $i)"
    i=$((i + 1))
  done
  echo "$2: $3 journals of $(du -k "$one" | cut -f1) KB"
}
journal_of 12000 large 60
journal_of 10 small 3000

time_history() {  # EXE FOLDER
  times=""
  i=0
  while [ $i -lt "${BENCH_RUNS:-3}" ]; do
    if [ "${BENCH_COLD:-0}" = 1 ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi
    start=$(date +%s.%N)
    run "$1" history --journal-dir "Z:$work/$2" >/dev/null 2>&1
    end=$(date +%s.%N)
    times="$times $(/usr/bin/python3 -c 'import sys; print(float(sys.argv[2]) - float(sys.argv[1]))' "$start" "$end")"
    i=$((i + 1))
  done
  /usr/bin/python3 -c 'import statistics,sys; print(f"{statistics.median(map(float, sys.argv[1:])):.2f}")' $times
}
for folder in large small; do
  line="$folder: this tree $(time_history "$ours" $folder) s"
  [ -n "${BENCH_VMCONVERT:-}" ] && line="$line, $BENCH_VMCONVERT $(time_history "$BENCH_VMCONVERT" $folder) s"
  echo "$line (medians of ${BENCH_RUNS:-3}${BENCH_COLD:+, cold cache})"
done
