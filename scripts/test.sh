#!/bin/bash
# Installs what is needed, builds the test build (address and undefined sanitizers) and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD=${QUILO_TEST_BUILD:-build-test}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILO_SANITIZE=ON -DQUILO_TESTS=ON
cmake --build "$BUILD" -j"$(nproc)"
# Tests write only under their own temporary folders: the checkout must look the same afterwards.
before=$(git status --porcelain --untracked-files=all 2>/dev/null || true)
status=0
(cd "$BUILD" && ctest --output-on-failure -j"$(nproc)" --timeout 900) || status=$?
after=$(git status --porcelain --untracked-files=all 2>/dev/null || true)
if [ "$before" != "$after" ]; then
  echo "The test run changed the checkout:" >&2
  diff <(echo "$before") <(echo "$after") >&2 || true
  status=1
fi
exit $status
