#!/bin/bash
# Article generation benchmark: builds the release `quilo`, writes a synthetic job
# (about 40 MB of source in 200 files, 40 000 headings) and times `quilo generate` next to a
# plain split of the same text into one file per heading (iconv + awk), reporting wall time
# and peak memory of both.
#   bench/articles/run.sh [--files N] [--headings N] [--megabytes M]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-articles}

[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_SANITIZE=OFF >/dev/null
cmake --build "$BUILD" --target quilo -j"${QUILO_BENCH_JOBS:-2}" >/dev/null

rm -rf "$WORK"
mkdir -p "$WORK"
python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" "$@"
export QUILO_HOME="$WORK/home"
mkdir -p "$QUILO_HOME"

src_bytes=$(du -sb "$WORK/job/본문" | cut -f1)
src_files=$(find "$WORK/job/본문" -name '*.txt' | wc -l)
largest=$(find "$WORK/job/본문" -name '*.txt' -printf '%s\n' | sort -n | tail -1)
echo "source: $src_files files, $src_bytes bytes, largest file $largest bytes"

# Reads the wall time (seconds) and peak memory (KB) of a /usr/bin/time -v report.
report() {
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$1" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$1")
  echo "$wall $rss"
}

# The plain split: decode each file and start a new output file at every heading line.
cat > "$WORK/split.sh" <<'SPLIT'
#!/bin/bash
set -euo pipefail
out=$2
mkdir -p "$out"
n=0
find "$1" -name '*.txt' | sort | while read -r f; do
  if head -c 2 "$f" | od -An -tx1 | grep -q 'ff fe'; then enc=UTF-16LE; skip=3; else enc=CP949; skip=1; fi
  tail -c +$skip "$f" | iconv -f $enc -t UTF-8
done | awk -v out="$out" '
  /<[hH][0-9]/ { if (f) close(f); n++; f = sprintf("%s/%06d.txt", out, n) }
  f { print > f }'
SPLIT
chmod +x "$WORK/split.sh"

cp -r "$WORK/job" "$WORK/job-split"
/usr/bin/time -v -o "$WORK/split.time" "$WORK/split.sh" "$WORK/job-split/본문" "$WORK/split-out" >/dev/null
/usr/bin/time -v -o "$WORK/gen.time" "$BUILD/quilo" generate "$WORK/job" >"$WORK/gen.log" 2>"$WORK/gen.err" || {
  echo "quilo generate failed:"; tail -5 "$WORK/gen.log" "$WORK/gen.err"; exit 1; }

read -r split_wall split_rss < <(report "$WORK/split.time")
read -r gen_wall gen_rss < <(report "$WORK/gen.time")
articles=$(find "$WORK/job/work_본문" -name '*.txt' | wc -l)
pieces=$(find "$WORK/split-out" -name '*.txt' | wc -l)

echo "plain split:   ${split_wall}s wall, peak ${split_rss} KB, $pieces files"
echo "quilo generate: ${gen_wall}s wall, peak ${gen_rss} KB, $articles articles"
awk -v g="$gen_wall" -v s="$split_wall" -v r="$gen_rss" -v l="$largest" 'BEGIN {
  printf "time ratio generate/split: %.2f (aim: at most 3)\n", g / (s > 0 ? s : 0.001)
  limit = (3 * l) / 1024 + 100 * 1024
  printf "peak memory: %d KB, limit 3 x largest file + 100 MB = %d KB (%s)\n", r, limit, r < limit ? "within" : "over"
}'
