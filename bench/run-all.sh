#!/bin/bash
# Every benchmark against one release build made once, each run in a fresh folder, then one table:
# step, our figure, yardstick, ratio, aim, met. Folders of earlier runs are deleted only after the
# timed runs (creating tens of thousands of files right after deleting as many is many times
# slower on ext4). The machine's load is printed before and after: figures on a shared machine
# are noisy.
#   bench/run-all.sh [--quick]      --quick: small jobs, to try the script
#   QUILO_BENCH_REALBOOK=1          also the real book road (downloads a package)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-$ROOT/build-rel}
BASE=${QUILO_BENCH_ROOT:-/tmp/quilo-bench-all}
QUICK=${1:-}
RUN=$BASE/run-$(date +%Y%m%d-%H%M%S)-$$
mkdir -p "$RUN"
[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"

echo "load before: $(uptime)"
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_SANITIZE=OFF \
  -DQUILO_BENCH=ON >/dev/null || exit 1
cmake --build "$BUILD" -j"${QUILO_BENCH_JOBS:-2}" >"$RUN/build.log" 2>&1 || { tail -20 "$RUN/build.log"; exit 1; }
export QUILO_BENCH_BUILD=$BUILD QUILO_BENCH_NO_BUILD=1

if [ "$QUICK" = --quick ]; then
  GEN=(--headings 4000 --megabytes 4) KW=(--headings 4000 --megabytes 4) META=4000 TREE=10000 UPLOAD=(2000 200)
  SPELL=(500 400 0.4)
else
  GEN=(--headings 400000 --megabytes 360) KW=() META=40000 TREE=100000 UPLOAD=(40000 1000) SPELL=()
fi

# run NAME COMMAND...: the benchmark's output goes to the screen and to NAME.log.
run() {
  local name=$1
  shift
  echo
  echo "== $name: $*"
  QUILO_BENCH_WORK=$RUN/$name "$@" 2>&1 | tee "$RUN/$name.log"
  echo "exit ${PIPESTATUS[0]}" >>"$RUN/$name.log"
}

cd "$ROOT"
run generate bash bench/articles/run.sh "${GEN[@]}"
run extract bash bench/keywords/run.sh "${KW[@]}"
run meta bash bench/meta/run.sh "$META"
run tree bash bench/windows/run.sh "$TREE"
run tree-load env ENTRIES="$TREE" RUNS=3 QUILO_BENCH_BUILD="$BUILD" bash bench/preview/run.sh
run upload bash bench/upload/run.sh "${UPLOAD[@]}"
run server bash bench/server/run.sh
run images bash bench/images/run.sh
run spell bash bench/spell/run.sh "${SPELL[@]}"
if [ -n "${QUILO_BENCH_REALBOOK:-}" ]; then
  run realbook bash bench/realbook/run.sh --bin "$BUILD"
fi
echo
echo "load after: $(uptime)"

# The table: our benchmarks print their rows; the others' figures are taken from their output.
{
  echo "step|ours|yardstick|ratio|aim|met"
  for log in generate extract meta tree upload server spell; do
    grep -h '^TABLE|' "$RUN/$log.log" | cut -d'|' -f2- || echo "$log|failed, see $RUN/$log.log|-|-|-|no"
  done
  grep -h 'window load' "$RUN/tree-load.log" | sed 's/  */ /g; s/^/tree load (bench\/preview)|/; s/$/|-|-|-|-/'
  awk '/^== / { sub(/^== /, ""); part = $0 }
       part !~ /^owner/ && /^(records per second|time|stored|refused|no reply|RECORDS LOST|no record lost)/ {
         gsub(/  +/, " "); fig[part] = fig[part] (fig[part] ? ", " : "") $0 }
       END { for (p in fig) print "server: " p "|" fig[p] "|-|-|-|-" }' "$RUN/server.log"
  awk 'NR > 1 && NF >= 7 && $1 ~ /\.jpg$/ {
         print "shrink " $1 " (" $2 " to " $3 ")|" $4 " ms|convert, 1 thread " $5 " ms|" $7 "|-|-" }' "$RUN/images.log"
  if [ -f "$RUN/realbook.log" ]; then
    grep -h '^whole road in' "$RUN/realbook.log" | sed 's/^/real book road|/; s/$/|-|-|-|-/'
  fi
} >"$RUN/table.txt"
echo
column -t -s'|' "$RUN/table.txt" | tee "$RUN/table.pretty"
echo "logs: $RUN"

# Only now, with every timing taken, the folders of earlier runs go.
for old in "$BASE"/run-*; do
  [ "$old" != "$RUN" ] && rm -rf "$old"
done
