#!/bin/bash
# Installs what is needed, builds the test build (address and undefined sanitizers) and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${QUILO_TEST_BUILD:-build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILO_SANITIZE=ON -DQUILO_TESTS=ON
cmake --build "$BUILD" -j"$(nproc)"
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)" --timeout 900
