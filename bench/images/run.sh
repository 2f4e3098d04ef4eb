#!/bin/bash
# Image shrink benchmark: times `quilo shrink` (decode, 16.16 bilinear resample, encode at
# quality 75, atomic write) on a synthetic 6000 x 4000 JPEG and on the largest picture of the
# demo job, next to ImageMagick's `convert IN -filter Triangle -resize W OUT` on the same
# file (once limited to one thread like quilo, once with its default threads). Best of N runs,
# each on a fresh copy, since the first shrink also makes the full-size backup.
#   bench/images/run.sh [--runs N] [--width W]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-$ROOT/build-rel}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-images}
CONVERT=${CONVERT:-convert}
RUNS=3
BIG_WIDTH=1500
while [ $# -gt 0 ]; do
  case $1 in
    --runs) RUNS=$2; shift 2 ;;
    --width) BIG_WIDTH=$2; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--width W]" >&2; exit 2 ;;
  esac
done

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" --target quilo -j"${QUILO_BENCH_JOBS:-2}" >/dev/null
QUILO=$BUILD/quilo

rm -rf "$WORK"
mkdir -p "$WORK"
export QUILO_HOME="$WORK/home"
mkdir -p "$QUILO_HOME"

# A photo-like picture: a gradient with noise, so the JPEG is not trivially compressible.
"$CONVERT" -size 6000x4000 -seed 7 gradient:navy-orange -attenuate 0.4 +noise Gaussian -quality 90 "$WORK/big.jpg"
demo=$(find "$ROOT/examples/demo/job/img" -name '*.jpg' -printf '%s %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
cp "$demo" "$WORK/demo.jpg"

now_ms() { date +%s%3N; }

# Best wall time in milliseconds of "$@" over $RUNS runs; {IN} and {OUT} are fresh copies.
best_ms() {
  local src=$1; shift
  local best=
  for _ in $(seq "$RUNS"); do
    rm -f "$WORK/in.jpg" "$WORK/in.jpg.원본" "$WORK/out.jpg"
    cp "$src" "$WORK/in.jpg"
    local args=() a
    for a in "$@"; do a=${a//\{IN\}/$WORK/in.jpg}; args+=("${a//\{OUT\}/$WORK/out.jpg}"); done
    local t0 t1
    t0=$(now_ms)
    "${args[@]}" >/dev/null
    t1=$(now_ms)
    local d=$((t1 - t0))
    if [ -z "$best" ] || [ "$d" -lt "$best" ]; then best=$d; fi
  done
  echo "$best"
}

printf '%-10s %-11s %6s %10s %14s %16s %8s\n' input size width "quilo ms" "convert 1t ms" "convert all ms" ratio
for entry in "big.jpg $BIG_WIDTH" "demo.jpg 160"; do
  set -- $entry
  file=$WORK/$1 width=$2
  size=$(identify -format '%wx%h' "$file")
  q=$(best_ms "$file" "$QUILO" shrink "{IN}" "$width")
  result=$("$QUILO" shrink "$WORK/in.jpg" "$width" 2>/dev/null || true)
  c1=$(best_ms "$file" env MAGICK_THREAD_LIMIT=1 "$CONVERT" "{IN}" -filter Triangle -resize "$width" "{OUT}")
  cn=$(best_ms "$file" "$CONVERT" "{IN}" -filter Triangle -resize "$width" "{OUT}")
  ratio=$(awk -v q="$q" -v c="$c1" 'BEGIN { if (c > 0) printf "%.2f", q / c; else print "-" }')
  printf '%-10s %-11s %6s %10s %14s %16s %8s\n' "$1" "$size" "$width" "$q" "$c1" "$cn" "$ratio"
  [ -n "$result" ] && echo "  quilo result: $result"
done
echo "ratio = quilo / convert with one thread; quilo works on one thread."
