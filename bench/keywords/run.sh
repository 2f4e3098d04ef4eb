#!/bin/bash
# Keyword extraction benchmark: builds the release `quilo` and `quilo-server`, writes the synthetic
# job of the article benchmark (40 000 articles) with 8 reference strings in its text, generates
# its articles, logs in to a reference server with the demo data for the code table, and times
# `quilo extract` next to `grep -F` with the same 8 strings over the same article files (their
# UTF-16LE bytes), each three times taking turns, reporting the best wall time of each and its peak
# memory; the workbook write time is given apart.
# Aim: the whole command within 2 x grep, peak memory under 64 MiB.
#   bench/keywords/run.sh [--files N] [--headings N] [--megabytes M]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-keywords}

source "$ROOT/bench/lib.sh"
[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"
bench_build "$BUILD" quilo quilo-server
QUILO="$BUILD/quilo"

# Eight reference strings, each bound to its own column of the demo code table.
REFS=(【인물】 【한자】 【별칭】 【출생】 【사망】 【지명】 【지명한자】 【출전】)
COLUMNS=(ks_exMetaName^nm_name ks_exMetaName^nm_hanja ks_exMetaName^nm_alias ks_exMetaName^nm_birth
         ks_exMetaName^nm_death ks_exMetaPlace^pl_name ks_exMetaPlace^pl_hanja ks_coremeta^mt_source)

rm -rf "$WORK"
mkdir -p "$WORK/home" "$WORK/server"
python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" --refs "$(IFS=,; echo "${REFS[*]}")" "$@"
export QUILO_HOME="$WORK/home"
"$QUILO" generate "$WORK/job" 2>/dev/null
articles=$(find "$WORK/job/work_본문" -name '*.txt' | wc -l)
bytes=$(find "$WORK/job/work_본문" -name '*.txt' -printf '%s\n' | awk '{s += $1} END {print s}')
echo "articles: $articles files, $bytes bytes"

"$BUILD/refserver/quilo-server" --data "$WORK/server" --port 0 --seed "$ROOT/examples/demo/server" >"$WORK/server.log" 2>&1 &
SERVER=$!
trap 'kill $SERVER 2>/dev/null || true' EXIT
QUILO_SERVER_URL=$(bench_server_url "$WORK/server.log") || exit 1
export QUILO_SERVER_URL
"$QUILO" login --id demo --pw demo >/dev/null
{
  echo "ar_id^101"
  for i in "${!REFS[@]}"; do echo "2^${COLUMNS[$i]}^${REFS[$i]}"; done
} | python3 -c 'import sys; sys.stdout.buffer.write(b"\xff\xfe" + sys.stdin.read().replace("\n", "\r\n").encode("utf-16-le"))' \
  >"$WORK/job/keywords.txt"

# The same strings as the UTF-16LE bytes the article files hold, one per line for grep -f.
python3 - "$WORK/patterns" "${REFS[@]}" <<'PY'
import sys
with open(sys.argv[1], 'wb') as f:
    for r in sys.argv[2:]:
        b = r.encode('utf-16-le')
        assert b'\n' not in b and b'\0' not in b
        f.write(b + b'\n')
PY

# About a second each: the two take turns three times and the best of each counts (peak memory
# from the same run).
gw="" ew=""
for round in 1 2 3; do
  sync
  /usr/bin/time -v -o "$WORK/grep.time" env LC_ALL=C grep -rFa -f "$WORK/patterns" "$WORK/job/work_본문" >"$WORK/grep.out" || true
  sync
  /usr/bin/time -v -o "$WORK/extract.time" "$QUILO" extract "$WORK/job" >"$WORK/extract.out" 2>"$WORK/extract.err"
  read -r w r < <(time_report "$WORK/grep.time")
  echo "round $round: grep ${w} s, extract $(time_report "$WORK/extract.time" | cut -d' ' -f1) s"
  if [ -z "$gw" ] || awk -v a="$w" -v b="$gw" 'BEGIN { exit !(a < b) }'; then gw=$w gr=$r; fi
  read -r w r < <(time_report "$WORK/extract.time")
  if [ -z "$ew" ] || awk -v a="$w" -v b="$ew" 'BEGIN { exit !(a < b) }'; then ew=$w er=$r; cp "$WORK/extract.err" "$WORK/extract-best.err"; fi
done
echo "grep -F, 8 strings (best of 3): ${gw} s, peak ${gr} KB, $(wc -l <"$WORK/grep.out") matching lines"
echo "quilo extract (best of 3): ${ew} s, peak ${er} KB"
awk -v e="$ew" -v g="$gw" 'BEGIN { if (g > 0) printf "ratio extract / grep:    %.2f\n", e / g }'

# The command times each tab's search and workbook on stderr.
grep -F '결과 파일 저장' "$WORK/extract-best.err" | sed 's/^/  /'
wb=$(find "$WORK/job" -maxdepth 1 -name '색인_*.xls' -printf '%s\n' | awk '{s += $1} END {print s}')
echo "workbooks: $(tr '\n' ' ' <"$WORK/extract.out")(${wb} bytes)"

ratio=$(awk -v e="$ew" -v g="$gw" 'BEGIN { printf "%.2f", e / (g > 0 ? g : 0.001) }')
bench_row "quilo extract, $articles articles, 8 strings (best of 3)" "${ew} s, $((er / 1024)) MiB" "grep -rF ${gw} s" "$ratio" \
  "<= 2x, < 64 MiB" "$(bench_met "$ratio <= 2 && $er < 64 * 1024")"
