#!/bin/bash
# Spell checking: the tag editor's underlining of a LINES-line article (offscreen; aim: in full
# within 1 s), the slowest key typed into a 3 900-character line (aim: under 30 ms), and
# `quilo spell --summary` over the synthetic job of bench/articles (HEADINGS articles; time and
# peak memory).
#   bench/spell/run.sh [LINES] [HEADINGS] [MEGABYTES]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-spell}
LINES=${1:-5000}
HEADINGS=${2:-40000}
MEGABYTES=${3:-40}
source "$ROOT/bench/lib.sh"
[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"
bench_build "$BUILD" quilo quilo-bench-spell

rm -rf "$WORK"
mkdir -p "$WORK/home"
export QUILO_HOME="$WORK/home"

out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/spell/quilo-bench-spell" "$LINES")
echo "$out" | grep -v '^[a-z_]*='
ms=$(echo "$out" | sed -n 's/^ms=//p')
bare=$(echo "$out" | sed -n 's/^bare_ms=//p')
key=$(echo "$out" | sed -n 's/^key_ms=//p')
ratio=$(awk -v a="$ms" -v b="$bare" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.001) }')
bench_row "editor underlines a $LINES-line article" "${ms} ms" "bare dictionary ${bare} ms" "$ratio" "< 1000 ms" \
  "$(bench_met "${ms:-99999} < 1000")"
bench_row "key typed in a 3 900-character line" "${key} ms" "-" "-" "< 30 ms" "$(bench_met "${key:-99999} < 30")"

python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" --headings "$HEADINGS" --megabytes "$MEGABYTES" >/dev/null
"$BUILD/quilo" generate "$WORK/job" >/dev/null 2>"$WORK/gen.err" || { echo "quilo generate failed"; tail -5 "$WORK/gen.err"; exit 1; }
/usr/bin/time -v -o "$WORK/spell.time" "$BUILD/quilo" spell "$WORK/job" --summary >"$WORK/summary.txt" 2>"$WORK/spell.err" || true
tail -1 "$WORK/spell.err"
read -r wall rss < <(time_report "$WORK/spell.time")
words=$(wc -l <"$WORK/summary.txt")
echo "quilo spell --summary: ${wall}s wall, peak ${rss} KB, $words distinct unknown words"
bench_row "quilo spell --summary, $HEADINGS articles" "${wall} s, $((rss / 1024)) MiB" "-" "-" "-" "-"
