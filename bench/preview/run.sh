#!/bin/bash
# Loading a 100 000-entry article index: builds the release binaries and prints the times of the
# reader, the tree widget fill and the window's whole load. ENTRIES and RUNS change the sizes.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${QUILO_BENCH_BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_BENCH=ON >/dev/null
cmake --build "$BUILD" --target quilo-bench-tree quilo >/dev/null
"$BUILD/bench/preview/quilo-bench-tree" "${ENTRIES:-100000}" "${RUNS:-5}"
