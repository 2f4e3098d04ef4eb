#!/bin/bash
# Meta data initialisation benchmark: a release build of quilo-bench-meta writes a synthetic
# job (40 000 articles, one keyword tab, the demo code table), then times the initialisation
# next to its floor (reading the same workbook and writing a .kwd of the same size), with the
# peak memory of each.
#   bench/meta/run.sh [ARTICLES]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-meta}
ARTICLES=${1:-40000}

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_SANITIZE=OFF -DQUILO_BENCH=ON >/dev/null
cmake --build "$BUILD" --target quilo-bench-meta -j"${QUILO_BENCH_JOBS:-2}" >/dev/null
BIN=$(find "$BUILD" -name quilo-bench-meta -type f -perm -u+x | head -1)

rm -rf "$WORK"
mkdir -p "$WORK/home"
export QUILO_HOME="$WORK/home"
"$BIN" make "$WORK/job" "$ARTICLES"

for step in floor init; do
  /usr/bin/time -v "$BIN" "$step" "$WORK/job" 2> "$WORK/$step.time"
  awk -F': ' '/Elapsed \(wall clock\)/ {print "  wall " $2} /Maximum resident set size/ {print "  peak " $2 " KB"}' "$WORK/$step.time"
done
