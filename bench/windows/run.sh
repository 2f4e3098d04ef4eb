#!/bin/bash
# The tag editor window on an index of 100 000 articles (offscreen): from show() until usable.
# Aim: under 0.25 s.   bench/windows/run.sh [ENTRIES] [RUNS]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
ENTRIES=${1:-100000}
source "$ROOT/bench/lib.sh"
bench_build "$BUILD" quilo-bench-windows
out=$("$BUILD/bench/windows/quilo-bench-windows" tag "$ENTRIES" "${2:-3}")
echo "$out" | grep -v '^ms='
ms=$(echo "$out" | sed -n 's/^ms=//p')
bench_row "tag editor tree, $ENTRIES entries" "${ms} ms" "-" "-" "< 250 ms" "$(bench_met "${ms:-99999} < 250")"
