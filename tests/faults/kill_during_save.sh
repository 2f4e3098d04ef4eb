#!/bin/bash
# Kills each save with SIGKILL at random moments and checks what is left: every rewritten file is
# its old or its new complete version, the promised backup of the old version is there once the
# new one is, and a rerun succeeds and gives what a clean run gives.
#   kill_during_save.sh [--runs N] [--ops "generate split ..."] [--bin DIR] [--driver DIR]
# DIR defaults to build/ (or $QUILO_BIN); the loops run under nice so compiles go first.
set -uo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
RUNS=50
OPS=""
BIN=${QUILO_BIN:-$SRC/build}
DRIVER_DIR=""
while [ $# -gt 0 ]; do
  case $1 in
    --runs) RUNS=$2; shift 2 ;;
    --ops) OPS=$2; shift 2 ;;
    --bin) BIN=$2; shift 2 ;;
    --driver) DRIVER_DIR=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--ops LIST] [--bin DIR] [--driver DIR]" >&2; exit 2 ;;
  esac
done
. "$SRC/tests/faults/lib.sh"
OPS=${OPS:-$OPS_ALL}
find_binaries

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-kill.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
export QUILO_HOME=$WORK/home HOME=$WORK/home
mkdir -p "$QUILO_HOME"

now_ms() { date +%s%3N; }
failures=0
for op in $OPS; do
  base=$WORK/$op
  make_reference "$op" "$base" || { failures=$((failures + 1)); continue; }
  # How long a whole run takes: the kills are spread over it.
  mkdir -p "$base/timing"; prepare_"$op" "$base/timing"
  t0=$(now_ms); ( run_"$op" "$base/timing" ) >/dev/null 2>&1; t1=$(now_ms)
  span=$(( t1 - t0 + 5 ))
  killed=0; bad=0
  for i in $(seq 1 "$RUNS"); do
    dir=$base/run$i
    mkdir -p "$dir"; prepare_"$op" "$dir"
    delay=$(( RANDOM * span / 32768 ))
    ( run_"$op" "$dir" ) >/dev/null 2>&1 &
    pid=$!
    sleep "$(printf '0.%03d' "$delay")" 2>/dev/null || sleep "$(awk "BEGIN{print $delay/1000}")"
    kill -9 "$pid" 2>/dev/null && killed=$((killed + 1))
    wait "$pid" 2>/dev/null
    why=$(check_files "$op" "$dir" "$base/old" "$base/ref")
    if [ -z "$why" ] && declare -F extra_"$op" >/dev/null; then why=$(extra_"$op" "$dir" "$base/ref"); fi
    if [ -z "$why" ]; then
      if ! ( run_"$op" "$dir" ) >"$dir.rerun.log" 2>&1; then
        why="$op: the rerun after a kill at ${delay} ms failed: $(tail -n 3 "$dir.rerun.log" | tr '\n' ' ')"
      else
        why=$(check_final "$op" "$dir" "$base/ref")
      fi
    fi
    if [ -n "$why" ]; then
      bad=$((bad + 1))
      echo "FAIL run $i (kill at ${delay} ms of ${span}): $why"
      cp -r "$dir" "${TMPDIR:-/tmp}/quilo-kill-failed-$op-$i" 2>/dev/null
    fi
    rm -rf "$dir" "$dir.rerun.log"
  done
  echo "$op: $RUNS runs, $killed killed mid-way, $bad failed (a whole run takes ${span} ms)"
  failures=$((failures + bad))
done
[ $failures -eq 0 ] && echo "kill_during_save: all saves survived" || echo "kill_during_save: $failures failures"
[ $failures -eq 0 ]
