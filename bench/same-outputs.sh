#!/bin/bash
# Runs generation, categories, keyword extraction and meta initialisation with two builds on
# copies of the same synthetic job and compares what they wrote: every file byte for byte, the
# result workbooks by their cells (`quilo workbook`), since their zip bytes may differ.
#   bench/same-outputs.sh BASE_BUILD NEW_BUILD [make_job.py options]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/bench/lib.sh"
BASE=$1 NEW=$2
shift 2
WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-same.XXXXXX")
SERVER=""
trap '[ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; true' EXIT

REFS=(【인물】 【한자】 【별칭】 【출생】 【사망】 【지명】 【지명한자】 【출전】)
COLUMNS=(ks_exMetaName^nm_name ks_exMetaName^nm_hanja ks_exMetaName^nm_alias ks_exMetaName^nm_birth
         ks_exMetaName^nm_death ks_exMetaPlace^pl_name ks_exMetaPlace^pl_hanja ks_coremeta^mt_source)
python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" --refs "$(IFS=,; echo "${REFS[*]}")" "$@"
{
  echo "ar_id^101"
  printf '1^ks_coremeta^%s\n' mt_oCode^인명 mt_sCode^지명 mt_lang^한국어 ks_exMetaName^nm_nation^한국 | sed 's/\^ks_coremeta^ks_/^ks_/'
  for i in "${!REFS[@]}"; do echo "2^${COLUMNS[$i]}^${REFS[$i]}"; done
  echo "2^ks_MetaTypeDetail^kf_desc^【그림】"
} | python3 -c 'import sys; sys.stdout.buffer.write(b"\xff\xfe" + sys.stdin.read().replace("\n", "\r\n").encode("utf-16-le"))' \
  >"$WORK/job/keywords.txt"

"$NEW/refserver/quilo-server" --data "$WORK/server" --port 0 --seed "$ROOT/examples/demo/server" >"$WORK/server.log" 2>&1 &
SERVER=$!
QUILO_SERVER_URL=$(bench_server_url "$WORK/server.log") || exit 1
export QUILO_SERVER_URL

for side in base new; do
  bin=$BASE/quilo
  [ $side = new ] && bin=$NEW/quilo
  cp -a "$WORK/job" "$WORK/$side"
  export QUILO_HOME=$WORK/home-$side
  mkdir -p "$QUILO_HOME"
  "$bin" login --id demo --pw demo >/dev/null
  for step in "generate $WORK/$side" "categories $WORK/$side --set 1=기타/역사" \
              "extract $WORK/$side" "meta init $WORK/$side"; do
    # shellcheck disable=SC2086
    "$bin" $step >"$WORK/$side.$(echo "$step" | cut -d' ' -f1).out" 2>>"$WORK/$side.err" || {
      echo "$side: quilo $step failed"; tail -5 "$WORK/$side.err"; exit 1; }
  done
  for book in "$WORK/$side"/색인_*.xls; do
    "$NEW/quilo" workbook "$book" >"$book.cells"
  done
done

echo "files: $(find "$WORK/new" -type f | wc -l), articles: $(find "$WORK/new/work_본문" -name '*.txt' | wc -l)"
if diff -r -q -x '색인_*.xls' "$WORK/base" "$WORK/new"; then
  echo "same: every file but the workbooks, byte for byte; the workbooks' cells:"
  (cd "$WORK/new" && ls -l -- *.idx *.kwd 색인_*.xls.cells | awk '{print "  " $5, $9}')
else
  echo "DIFFERENT (kept in $WORK)"
  trap - EXIT
  kill "$SERVER"
  exit 1
fi
rm -rf "$WORK"
