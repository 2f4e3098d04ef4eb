#!/bin/bash
# The whole road of a product on the command line: a fresh copy of a job folder (the demo job by
# default) is prepared step by step against a quilo-server child with its seed, checked and
# uploaded twice (a new product, then an update in which every linked tab is left without
# connections); the server's readback must hold exactly what the job sent, once, and the request
# logs must hold no password. The demo job gets what real books have and the demo lacks: a part
# heading followed at once by its first section, and an inserted image two folders below img/.
#
#   bash scripts/whole-road.sh [--bin DIR] [--keep DIR] [--job DIR --seed DIR]
#
# --bin DIR   the build folder with quilo and refserver/quilo-server ($QUILO_BIN, default build/)
# --keep DIR  also leave the prepared job (after `check`, before the upload) in DIR/job and print
#             its path, to open it in the desktop program
# --job DIR   the job folder to copy (default examples/demo/job); its product must be in the seed
# --seed DIR  the server seed (default examples/demo/server), with the login demo/demo
# Exit status 0 when every step and every comparison passed, 1 otherwise, 2 for wrong usage.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${QUILO_BIN:-$ROOT/build}
KEEP=""
SRC_JOB=$ROOT/examples/demo/job
SEED=$ROOT/examples/demo/server
while [ $# -gt 0 ]; do
  case $1 in
    --bin) [ $# -ge 2 ] || { echo "--bin needs a folder" >&2; exit 2; }; BIN=$2; shift 2 ;;
    --keep) [ $# -ge 2 ] || { echo "--keep needs a folder" >&2; exit 2; }; KEEP=$2; shift 2 ;;
    --job) [ $# -ge 2 ] || { echo "--job needs a folder" >&2; exit 2; }; SRC_JOB=$2; shift 2 ;;
    --seed) [ $# -ge 2 ] || { echo "--seed needs a folder" >&2; exit 2; }; SEED=$2; shift 2 ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
BIN=$(cd "$BIN" 2>/dev/null && pwd) || { echo "no build folder: $BIN" >&2; exit 2; }
QUILO=$BIN/quilo
SERVER_BIN=$BIN/refserver/quilo-server
[ -x "$SERVER_BIN" ] || SERVER_BIN=$BIN/quilo-server
for b in "$QUILO" "$SERVER_BIN"; do
  [ -x "$b" ] || { echo "not built: $b" >&2; exit 2; }
done
if [ -n "$KEEP" ]; then
  mkdir -p "$KEEP" && KEEP=$(cd "$KEEP" && pwd) || { echo "cannot use $KEEP" >&2; exit 2; }
  [ -e "$KEEP/job" ] && { echo "$KEEP/job exists already; give an empty folder" >&2; exit 2; }
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-road.XXXXXX")
SERVER_PID=""
cleanup() {
  if [ -n "$SERVER_PID" ]; then
    kill "$SERVER_PID" 2>/dev/null
    wait "$SERVER_PID" 2>/dev/null
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Nothing of the operator's is read or written: own data folder and home.
export QUILO_HOME=$WORK/home HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share
export XDG_CONFIG_HOME=$WORK/home/.config XDG_CACHE_HOME=$WORK/home/.cache
mkdir -p "$QUILO_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
JOB=$WORK/job
cp -r "$SRC_JOB" "$JOB" || { echo "cannot copy the job $SRC_JOB" >&2; exit 2; }

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The job file, code page 949: "KEY=value" of one section.
ini() { iconv -f CP949 -t UTF-8 "$JOB/vuxinfo.ini" | tr -d '\r' | awk -v sec="[$1]" '
  /^\[/ { on = (toupper($0) == toupper(sec)); next }
  on && index($0, "=") { print substr($0, 1, index($0, "=") - 1) "\t" substr($0, index($0, "=") + 1) }'; }
PRODUCT=$(ini VUX | awk -F'\t' '$1 == "pID" { print $2 }')
PNAME=$(ini VUX | awk -F'\t' '$1 == "pNAME" { print $2 }')
SRCIMAGE=$(ini VUX | awk -F'\t' '$1 == "srcImage" { print $2 }')
mapfile -t TABS < <(ini TABS | cut -f1)
declare -A ARID FOLDER
while IFS=$'\t' read -r t v; do ARID[$t]=$v; done < <(ini TABSID)
while IFS=$'\t' read -r t v; do FOLDER[$t]=$v; done < <(ini TABS)
mapfile -t LINKS < <(ini LINK)
[ -n "$PRODUCT" ] && [ ${#TABS[@]} -gt 0 ] || fail "no product or tabs in $SRC_JOB/vuxinfo.ini"

# UTF-16LE with byte-order mark and CR LF, as the program writes job files.
write_utf16() { { printf '\xff\xfe'; sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$1"; }
if [ "$SRC_JOB" -ef "$ROOT/examples/demo/job" ]; then
  mkdir -p "$JOB/img/maps/old"
  cp "$JOB/img/maps/island_map.jpg" "$JOB/img/maps/old/harbour.jpg"
  write_utf16 "$JOB/${FOLDER[본문]}/04_제3부.txt" <<'TEXT'
<h1>제3부 포구의 기록</h1>
<h2>제5장 안개목 포구</h2>
안개목 포구에는 아침마다 물새섬으로 가는 배가 떠났다.
<img src="img/maps/old/harbour.jpg" width="320" height="240">
【그림】 옛 안개목 포구
TEXT
fi

# --port 0: the server picks a free port and names it.
"$SERVER_BIN" --data "$WORK/server" --port 0 --seed "$SEED" >"$WORK/server.log" 2>&1 &
SERVER_PID=$!
URL=""
for _ in $(seq 100); do
  URL=$(grep -o 'listening on http://[0-9.:]*' "$WORK/server.log" | sed 's/listening on //')
  [ -n "$URL" ] && break
  kill -0 "$SERVER_PID" 2>/dev/null || break
  sleep 0.2
done
[ -n "$URL" ] || { cat "$WORK/server.log" >&2; fail "quilo-server did not start"; }
export QUILO_SERVER_URL=$URL QUILO_ID=demo QUILO_PW=demo
echo "server: $URL"

# step NAME COMMAND...: runs a quilo command, keeps its stdout in $WORK/NAME.out.
step() {
  local name=$1
  shift
  if ! "$QUILO" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"; then
    cat "$WORK/$name.out" >&2
    cat "$WORK/$name.err" >&2
    fail "quilo $*"
  fi
  echo "ok: quilo $1 ($(wc -l <"$WORK/$name.out") lines)"
}
# The lines of a job file written in UTF-16 with byte-order mark, as UTF-8 without CR.
utf16() { iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'; }

step login login
step generate generate "$JOB" --after ". "
step connect connect "$JOB" --auto
TABARGS=()
for tab in "${TABS[@]}"; do
  step "pages-$tab" pages "$JOB" --tab "$tab" --by-title
  step "tree-$tab" tree "$JOB" --tab "$tab"
  TABARGS+=(--tab "$tab")
done

# Source images: every article of the first tab gets a range of the page scans, in order.
SCANS=()
[ "$SRCIMAGE" = Y ] && [ -d "$JOB/images" ] && mapfile -t SCANS < <(cd "$JOB/images" && ls -1 | grep -i '\.jpg$' | LC_ALL=C sort)
if [ ${#SCANS[@]} -gt 0 ]; then
  NODES=$(wc -l <"$WORK/tree-${TABS[0]}.out")
  ARTICLES=$((NODES - 1))
  SETS=()
  for ((k = 1; k <= ARTICLES; k++)); do
    first=$(((k - 1) * ${#SCANS[@]} / ARTICLES))
    last=$((k * ${#SCANS[@]} / ARTICLES - 1))
    [ "$last" -lt "$first" ] && last=$first
    SETS+=(--set "$k=${SCANS[$first]},${SCANS[$last]}")
  done
  step image-links image-links "$JOB" --tab "${TABS[0]}" "${SETS[@]}"
fi
step keywords keywords fetch "$JOB"
step categories categories "$JOB" "${TABARGS[@]}" --set "1=기타/역사"
step extract extract "$JOB"
step meta meta init "$JOB"
step check check "$JOB"
# Every file the steps wrote follows the umask like the job's own files (none private).
PRIVATE=$(find "$JOB" -type f ! -perm -044 | head -n 5)
[ "$(umask)" != 0022 ] || [ -z "$PRIVATE" ] || fail "files written without the umask's mode: $PRIVATE"
# Warnings (values sent as BAD, entity references) leave the outcome as it is.
[ "$(grep -v '^warning' "$WORK/check.out")" = OK ] || fail "check did not say OK: $(cat "$WORK/check.out")"

if [ -n "$KEEP" ]; then
  # -a keeps the files' times: the check compares the meta result file with the article index.
  cp -a "$JOB" "$KEEP/job" || fail "cannot copy the job to $KEEP"
  echo "prepared job kept in: $KEEP/job"
fi

show() { "$SERVER_BIN" admin --data "$WORK/server" product-show "$PRODUCT" >"$WORK/$1.show" || fail "product-show"; }

# What the job says the server must hold, in the readback's own line format.
expected() {
  local tab arid
  for tab in "${TABS[@]}"; do
    arid=${ARID[$tab]}
    # Tab header, then per node: content number (page file), page number, title (a page node
    # carries its parent's title).
    printf 'record\t%s\t1\t1\t1\t%s %s\n' "$arid" "$PNAME" "$tab"
    paste <(cut -f2,3 "$WORK/pages-$tab.out") <(cut -f2,5- "$WORK/tree-$tab.out") |
      awk -F'\t' -v arid="$arid" '
        { kind[NR-1] = $1; content[NR-1] = $2; depth[NR-1] = $3; title[NR-1] = $4 }
        END {
          for (i = 1; i < NR; i++) {
            t = title[i]
            if (kind[i] == "page") for (p = i - 1; p >= 0; p--) if (depth[p] == depth[i] - 1) { t = title[p]; break }
            printf "record\t%s\t%s\t%s\t0\t%s\n", arid, content[i], i, t
          }
        }'
  done | sort
}
records() { grep '^record' "$WORK/$1.show" | cut -f1-5,7 | sort; }
tablinks() { grep '^tablink' "$WORK/$1.show" | cut -f2-7 | sort; }
imagelinks() { grep '^imagelink' "$WORK/$1.show" | cut -f2,3,5 | sort; }
files() { grep '^file' "$WORK/$1.show" | cut -f2-4,6 | sort; }

expected_tablinks() {
  local tab linked
  for pair in "${LINKS[@]}"; do
    IFS=$'\t' read -r tab linked <<<"$pair"
    utf16 "$JOB/${tab}_connect.txt" |
      awk -v OFS='\t' -v from="${ARID[$tab]}" -v to="${ARID[$linked]}" '$0 != "-" { print from, NR, NR - 1, to, $0 + 1, $0 }'
  done | sort
}
expected_imagelinks() {
  [ ${#SCANS[@]} -gt 0 ] || return 0
  awk -F'\t' 'NR > 1 && $1 != "unused:" && $2 != "-" && $3 != "-" && $1 ~ /^[0-9]+$/ { print $1 "\t" $2 "\t" $3 }' \
    "$WORK/image-links.out" | while IFS=$'\t' read -r node from to; do
    list=""
    for s in "${SCANS[@]}"; do
      [[ "$s" < "$from" ]] && continue
      [[ "$s" > "$to" ]] && break
      list+="${list:+|}images/$s"
    done
    printf '%s\t%s\t%s\n' "${ARID[${TABS[0]}]}" "$node" "$list"
  done | sort
}
expected_files() {
  (
    cd "$JOB" || exit 1
    # Page scans when the product has them, inserted images at any depth; hidden entries stay out.
    { [ "$SRCIMAGE" = Y ] && [ -d images ] && find images -maxdepth 1 -type f -iname '*.jpg' ! -name '.*'
      [ -d img ] && find img -name '.*' -prune -o -type f -iname '*.jpg' -print; } | while IFS= read -r f; do
      case $f in
        images/*) folder=img ;;
        *) folder=$(dirname "$f") ;;
      esac
      size=$(stat -c %s "$f")
      printf '%s\t%s\t%s\tdisk=%s\n' "$folder" "$(basename "$f")" "$size" "$size"
    done
  ) | sort
}

compare() { # NAME EXPECTED-FILE ACTUAL-FILE
  diff -u "$2" "$3" >"$WORK/$1.diff" || { cat "$WORK/$1.diff" >&2; fail "$1 differ from what the job sent"; }
}
verify() { # SHOW-NAME
  local s=$1
  expected >"$WORK/exp.records"
  records "$s" >"$WORK/$s.records"
  compare "$s records" "$WORK/exp.records" "$WORK/$s.records"
  expected_tablinks >"$WORK/exp.tablinks"
  tablinks "$s" >"$WORK/$s.tablinks"
  compare "$s tab links" "$WORK/exp.tablinks" "$WORK/$s.tablinks"
  expected_imagelinks >"$WORK/exp.imagelinks"
  imagelinks "$s" >"$WORK/$s.imagelinks"
  compare "$s image links" "$WORK/exp.imagelinks" "$WORK/$s.imagelinks"
  expected_files >"$WORK/exp.files"
  files "$s" >"$WORK/$s.files"
  compare "$s files" "$WORK/exp.files" "$WORK/$s.files"
  # One copy of each: no key twice, and everything from the run shown first.
  local dup run
  dup=$(grep '^record' "$WORK/$s.show" | cut -f2-5 | sort | uniq -d)
  [ -z "$dup" ] || fail "records held twice: $dup"
  run=$(grep '^run' "$WORK/$s.show" | cut -f2)
  [ -z "$(grep '^record' "$WORK/$s.show" | awk -F'\t' -v r="$run" '$6 != r')" ] || fail "records of an earlier run remain"
  [ -z "$(grep '^tablink' "$WORK/$s.show" | awk -F'\t' -v r="$run" '$8 != r')" ] || fail "tab links of an earlier run remain"
  [ -z "$(grep '^imagelink' "$WORK/$s.show" | awk -F'\t' -v r="$run" '$4 != r')" ] || fail "image links of an earlier run remain"
}
run_line() { grep '^run' "$WORK/$1.show" | cut -f3,4; }

# First upload: a new product, every tab, images and logs on.
step upload1 upload "$JOB" --arid "${ARID[${TABS[0]}]}" --log --wait 5
tail -n 1 "$WORK/upload1.out" | grep -qx '전송이 완료되었습니다.' || fail "first upload did not complete"
grep -qx '새로운 제품 데이터를 업로드합니다.' "$WORK/upload1.out" || fail "first upload was not a new product"
show first
[ "$(run_line first)" = $'INSERT\tcompleted' ] || fail "first run: $(run_line first)"
verify first

# The request logs: one per form request, the password never written.
LOGS=$(find "$JOB/log" -name '*_up.txt' | wc -l)
[ "$LOGS" -gt 0 ] || fail "no request logs in $JOB/log"
grep -rh '^pw=' "$JOB/log" | tr -d '\r' | grep -qv '^pw=\*\*\*\*$' && fail "a log line carries the password"
# No field carries the password as its value (a real book's text may hold the word itself).
LEAKS=$(grep -rh "=" "$JOB/log" | tr -d '\r' | grep -x "[A-Za-z_]*=$QUILO_PW" | grep -v "^id=$QUILO_ID\$" | head -n 3 || true)
[ -z "$LEAKS" ] || fail "the password is in the logs: $LEAKS"

# An update without a note stops before anything is sent.
if "$QUILO" upload "$JOB" --arid "${ARID[${TABS[0]}]}" --wait 5 >"$WORK/upload2.out" 2>"$WORK/upload2.err"; then
  fail "an update without --note completed"
fi
grep -qx '데이터 업로드를 취소했습니다.' "$WORK/upload2.out" || fail "the update without a note was not cancelled"
echo "ok: quilo upload without --note stopped at the update"
show cancelled
[ "$(records cancelled)" = "$(records first)" ] || fail "the cancelled update changed the records"

# The update leaves every linked tab without connections: the server must take the empty tab
# link record as "nothing to link" and drop the first run's links.
for pair in "${LINKS[@]}"; do
  tab=${pair%%$'\t'*}
  utf16 "$JOB/${tab}_connect.txt" | sed 's/.*/-/' | write_utf16 "$JOB/${tab}_connect.txt.new" &&
    mv "$JOB/${tab}_connect.txt.new" "$JOB/${tab}_connect.txt" || fail "cannot clear ${tab}_connect.txt"
done

# The update with a note replaces everything, once.
step upload3 upload "$JOB" --arid "${ARID[${TABS[0]}]}" --log --wait 5 --note "두 번째 업로드"
tail -n 1 "$WORK/upload3.out" | grep -qx '전송이 완료되었습니다.' || fail "the update did not complete"
show second
[ "$(run_line second)" = $'UPDATE\tcompleted' ] || fail "second run: $(run_line second)"
grep '^run' "$WORK/second.show" | grep -q $'\t두 번째 업로드\\\\r\\\\n$' || fail "the update note did not arrive"
verify second
[ "$(grep '^record' "$WORK/first.show" | cut -f1-5,7-)" = "$(grep '^record' "$WORK/second.show" | cut -f1-5,7-)" ] ||
  fail "the update holds other records than the first run"

count() { grep -c "^$1" "$WORK/second.show"; }
echo
echo "whole road passed"
for tab in "${TABS[@]}"; do
  echo "  $tab: $(($(wc -l <"$WORK/tree-$tab.out") - 1)) articles + header on the server"
done
echo "  tab links: first run $(grep -c '^tablink' "$WORK/first.show"), update $(count tablink), image links: $(count imagelink), files: $(count file) ($(grep '^counts' "$WORK/second.show" | cut -f7))"
echo "  first run INSERT, second run UPDATE with note; records replaced, none held twice"
echo "  request logs: $LOGS, no password in them"
[ -n "$KEEP" ] && echo "  prepared job: $KEEP/job"
exit 0
