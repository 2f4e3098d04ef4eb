#!/bin/bash
# Builds the fuzz targets with clang (address and undefined sanitizers) into build-fuzz/ and runs
# each for SECONDS (default 60) under nice, from its seed corpus and dictionary.
#   fuzz/run.sh [SECONDS] [TARGET...]
# QUILO_FUZZ_RUNS=N stops each target after N inputs instead (SECONDS 0: no time limit).
# The growing corpora stay in build-fuzz/corpus/, findings go to build-fuzz/findings/TARGET/.
# Prints per target: inputs run, inputs per second, findings. Exit 1 when any target found one.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_EACH=${1:-60}
shift || true
BUILD=${QUILO_FUZZ_BUILD:-$ROOT/build-fuzz}
JOBS=${QUILO_FUZZ_JOBS:-2}

# clang and its fuzzer runtime come with the project's packages (installed only when missing).
bash "$ROOT/scripts/setup.sh" || exit 2
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT} CCACHE_NOHASHDIR=1
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILO_SANITIZE=ON -DQUILO_FUZZ=ON -DQUILO_TESTS=OFF >/dev/null || exit 2
nice cmake --build "$BUILD" -j"$JOBS" --target fuzz_all || exit 2

TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  for f in "$ROOT"/fuzz/*.cpp; do TARGETS+=("$(basename "$f" .cpp)"); done
fi

# The splitter builds lines of 3850 characters and more; the others read whole files.
max_len() { case $1 in splitter) echo 16384 ;; *) echo 8192 ;; esac; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
printf '%-16s %12s %10s %9s\n' target inputs inputs/s findings
found=0
for t in "${TARGETS[@]}"; do
  corpus=$BUILD/corpus/$t findings=$BUILD/findings/$t log=$BUILD/logs/$t.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  touch "$BUILD/logs/.start-$t"
  dict=()
  [ -f "$ROOT/fuzz/dict/$t.dict" ] && dict=(-dict="$ROOT/fuzz/dict/$t.dict")
  runs=()
  [ -n "${QUILO_FUZZ_RUNS:-}" ] && runs=(-runs="$QUILO_FUZZ_RUNS")
  nice -n 19 "$BUILD/fuzz/fuzz_$t" "$corpus" "$ROOT/fuzz/corpus/$t" "${dict[@]}" "${runs[@]}" \
    -max_total_time="$SECONDS_EACH" -max_len="$(max_len "$t")" -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  n=$(find "$findings" -type f -newer "$BUILD/logs/.start-$t" | wc -l)
  printf '%-16s %12s %10s %9s\n' "$t" "${runs:-?}" "${rate:-?}" "$n"
  if [ $rc -ne 0 ] || [ "$n" -gt 0 ]; then
    found=1
    grep -m3 -E 'FUZZ_CHECK|ERROR|SUMMARY' "$log" | sed 's/^/    /'
  fi
done
[ $found -eq 0 ] || { echo "findings: see $BUILD/findings/ and fuzz/README.md"; exit 1; }
