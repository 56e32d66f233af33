#!/bin/sh
# The shipped recipes (recipes/nightly.cmd, recipes/migrate.cmd) run under
# Wine's cmd against sample tables, with a stand-in for net.exe first on
# the PATH (it logs its arguments and answers with the status a case asks
# for): a run that succeeds, a usage error, a refused run, a missing
# folder, a service that cannot be stopped and one that cannot be started
# again, and a migration run a second time. Each case checks the exit
# status and the lines the log must hold.
# Usage: recipes_test.sh BUILD-FOLDER win64|win32
set -u
build=$1; arch=$2
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/converter-recipes.XXXXXX)
# Every case in one Wine session, as every run on Windows has its desktop:
# a program that waits (and ends by itself) keeps the session alive, and a
# first run, its output nowhere, starts the desktop's process. Otherwise a
# case's first window starts that process, handed the standard error of
# the program that starts it, which is the case's log: that process then
# outlives the program, holding the log the script writes next.
"$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" cmd /c "ping -n 180 127.0.0.1 >nul" >/dev/null 2>&1 &
trap 'rm -rf "$work"' EXIT
win() { printf 'Z:%s' "$1" | tr / '\\'; }
fails=0
fail() { printf 'FAIL: %s\n' "$*"; fails=$((fails + 1)); }

# Fresh tables: the live one small (or big, with "big"), the big one with
# some fields differing; of 3000 records, so that the big layout is larger
# than 2100000 bytes, as the size rule reads it.
fresh() {
  rm -rf "$work/db1" && mkdir -p "$work/db1"
  "$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" "$build/tools/vmgen.exe" "${1:-small}" "$(win "$work/db1/vm001.dbf")" 3000 >/dev/null
  "$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" "$build/tools/vmgen.exe" big "$(win "$work/db1/vm001_big.dbf")" 3000 3 >/dev/null
  rm -f "$work/log.txt" "$work/net.log"
}

# Runs recipe with the case's settings; its exit status in $status.
recipe() {
  name=$1; shift
  status=0
  env "$@" VMCONVERT="$(win "$build/vmconvert/vmconvert.exe")" LOG="$(win "$work/log.txt")" \
      NET_LOG="$(win "$work/net.log")" WINEPATH="$(win "$build/tests")" \
      "$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" cmd /c "$(win "$top/recipes/$name")" >/dev/null 2>&1 ||
    status=$?
}

# case WHAT EXPECTED-STATUS LINE... : the status, and each line in the log.
expect() {
  what=$1; want=$2; shift 2
  [ "$status" -eq "$want" ] || fail "$what: exit status $status, not $want"
  for line in "$@"; do
    grep -qF -- "$line" "$work/log.txt" 2>/dev/null || fail "$what: the log lacks \"$line\": $(cat "$work/log.txt" 2>/dev/null)"
  done
}

DB=$(win "$work/db1")
fresh
"$top/scripts/wine-run.sh" "$build/wineprefix" "$arch" "$build/vmconvert/vmconvert.exe" check small-to-big \
  --live "$DB" --big "$DB\\vm001_big.dbf" >/dev/null 2>&1

fresh; recipe nightly.cmd DB="$DB"
expect "nightly, done" 0 "nightly.cmd: small-to-big in $DB" "status 0: done" "nightly.cmd: vmconvert ended with status 0"

fresh; recipe nightly.cmd DB="$DB" OPTIONS=--bogus
expect "nightly, a usage error" 1 "unknown option --bogus" "status 1: usage error" "ended with status 1"

fresh big; recipe nightly.cmd DB="$DB"
expect "nightly, refused" 6 "Only big-to-small fits it." "status 6: refused" "ended with status 6"

recipe nightly.cmd DB="$(win "$work/nowhere")"
expect "nightly, a missing folder" 100 "is not there, so nothing was run (status 100)"

fresh; cp "$work/db1/vm001_big.dbf" "$work/converted.dbf"
recipe migrate.cmd DB="$DB"
expect "migrate, done" 0 "status 0: done" "migrate.cmd: vmconvert ended with status 0" 'the service "Veltrano Voicemail" runs again'
[ "$(tr -d '\r' < "$work/net.log" 2>/dev/null)" = "$(printf 'net stop Veltrano Voicemail\nnet start Veltrano Voicemail')" ] ||
  fail "migrate, done: the service was not stopped and started in turn: $(cat "$work/net.log" 2>/dev/null)"
cmp -s "$work/db1/vm001.dbf" "$work/db1/vm001_big.dbf" || fail "migrate, done: the big table is not in service"

recipe migrate.cmd DB="$DB"
expect "migrate, a second time" 6 "Only big-to-small fits it." "status 6: refused"

fresh; cp "$work/db1/vm001.dbf" "$work/live.dbf"
recipe migrate.cmd DB="$DB" NET_STOP_STATUS=2
expect "migrate, the service does not stop" 101 "net stop ended with status 2" "so nothing was converted (status 101)"
grep -q "status 0: done" "$work/log.txt" && fail "migrate, the service does not stop: vmconvert ran"
cmp -s "$work/db1/vm001.dbf" "$work/live.dbf" || fail "migrate, the service does not stop: the live table changed"

fresh; recipe migrate.cmd DB="$DB" NET_START_STATUS=2
expect "migrate, the service does not start" 102 "status 0: done" "net start ended with status 2 after the run's status 0" \
  "start the service \"Veltrano Voicemail\" by hand (status 102)"

recipe migrate.cmd DB="$(win "$work/nowhere")"
expect "migrate, a missing folder" 100 "is not there, so nothing was run (status 100)"

[ "$fails" -eq 0 ] || exit 1
echo "both recipes did what their comments say in every case"
