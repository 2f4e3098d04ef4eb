#!/bin/bash
# Meta data initialisation benchmark: a release build of quilo-bench-meta writes a synthetic
# job (40 000 articles, one keyword tab, the demo code table), then times the initialisation
# next to its floor (reading the same workbook and writing a .kwd of the same size), with the
# peak memory of each, and the meta editor's opening of the .kwd the initialisation wrote.
# Aims: the initialisation within 1.5 x its floor and under 128 MiB; the editor usable in 1 s.
#   bench/meta/run.sh [ARTICLES]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-meta}
ARTICLES=${1:-40000}
source "$ROOT/bench/lib.sh"

bench_build "$BUILD" quilo-bench-meta quilo-bench-windows
BIN=$BUILD/bench/meta/quilo-bench-meta

rm -rf "$WORK"
mkdir -p "$WORK/home"
export QUILO_HOME="$WORK/home"
"$BIN" make "$WORK/job" "$ARTICLES"

for step in floor init; do
  /usr/bin/time -v -o "$WORK/$step.time" "$BIN" "$step" "$WORK/job"
  read -r wall rss < <(time_report "$WORK/$step.time")
  echo "  $step: wall $wall s, peak $rss KB"
  eval "${step}_wall=$wall ${step}_rss=$rss"
done
ratio=$(awk -v a="$init_wall" -v b="$floor_wall" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.001) }')
bench_row "quilo meta init, $ARTICLES articles" "${init_wall} s, $((init_rss / 1024)) MiB" \
  "read workbook + write .kwd ${floor_wall} s" "$ratio" "<= 1.5x, < 128 MiB" \
  "$(bench_met "$ratio <= 1.5 && $init_rss < 128 * 1024")"

"$BUILD/bench/windows/quilo-bench-windows" meta "$WORK/job" 3 2>"$WORK/editor.err" | tee "$WORK/editor.out"
ms=$(sed -n 's/^ms=//p' "$WORK/editor.out")
bench_row "meta editor opening, $ARTICLES articles" "${ms} ms" "-" "-" "< 1000 ms" "$(bench_met "${ms:-99999} < 1000")"
