#!/bin/bash
# Article generation benchmark: builds the release `quilo`, writes a synthetic job
# (about 40 MB of source in 200 files, 40 000 headings) and times `quilo generate` next to a
# plain split of the same text into one file per heading (iconv + awk), reporting wall time
# and peak memory of both. Aim (for the 400 000-heading, 360 MB job): within 1.5 x the split,
# and a peak memory that does not grow with the book, under 64 MiB.
#   bench/articles/run.sh [--files N] [--headings N] [--megabytes M]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-articles}

source "$ROOT/bench/lib.sh"
[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"
bench_build "$BUILD" quilo

rm -rf "$WORK"
mkdir -p "$WORK"
python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" "$@"
export QUILO_HOME="$WORK/home"
mkdir -p "$QUILO_HOME"

src_bytes=$(du -sb "$WORK/job/본문" | cut -f1)
src_files=$(find "$WORK/job/본문" -name '*.txt' | wc -l)
largest=$(find "$WORK/job/본문" -name '*.txt' -printf '%s\n' | sort -n | tail -1)
echo "source: $src_files files, $src_bytes bytes, largest file $largest bytes"

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

read -r split_wall split_rss < <(time_report "$WORK/split.time")
read -r gen_wall gen_rss < <(time_report "$WORK/gen.time")
articles=$(find "$WORK/job/work_본문" -name '*.txt' | wc -l)
pieces=$(find "$WORK/split-out" -name '*.txt' | wc -l)

echo "plain split:   ${split_wall}s wall, peak ${split_rss} KB, $pieces files"
echo "quilo generate: ${gen_wall}s wall, peak ${gen_rss} KB, $articles articles"
ratio=$(awk -v g="$gen_wall" -v s="$split_wall" 'BEGIN { printf "%.2f", g / (s > 0 ? s : 0.001) }')
echo "time ratio generate/split: $ratio"
bench_row "quilo generate, $articles headings, $((src_bytes / 1048576)) MB" "${gen_wall} s, $((gen_rss / 1024)) MiB" \
  "awk split ${split_wall} s" "$ratio" "<= 1.5x, < 64 MiB" "$(bench_met "$ratio <= 1.5 && $gen_rss < 64 * 1024")"
