#!/bin/bash
# Upload benchmark, each upload to a fresh quilo-server on loopback with the demo seed, under
# /usr/bin/time:
#  1. records: a synthetic job (bench/articles/make_job.py, 40 000 headings by default) generated
#     with `quilo generate`, every tenth article a further page, meta data initialised
#     (quilo-bench-upload prepare), uploaded by `quilo upload`: records per second, the client's peak
#     memory, client and server CPU per record, and the records the server's database holds;
#  2. request logs: the same upload with --log next to the one without (each three times, taking turns);
#  3. images: a small job whose "img" holds IMAGES JPEGs of 10-60 KB, uploaded by `quilo upload`
#     next to curl sending the same files as the same multipart posts over one connection.
# Prints its aims as TABLE rows (step, ours, yardstick, ratio, aim, met) for run-all.sh.
#   bench/upload/run.sh [ARTICLES] [IMAGES]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-upload}
ARTICLES=${1:-40000}
IMAGES=${2:-1000}
source "$ROOT/bench/lib.sh"

[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"
bench_build "$BUILD" quilo quilo-server quilo-bench-upload
BENCH=$(find "$BUILD" -name quilo-bench-upload -type f -perm -u+x | head -1)

SERVER=""
stop_server() {
  if [ -n "$SERVER" ]; then kill "$SERVER" 2>/dev/null || true; wait "$SERVER" 2>/dev/null || true; fi
  SERVER=""
}
trap stop_server EXIT

# start_server NAME: a fresh server with its own data folder; sets SERVER and URL.
start_server() {
  stop_server
  "$BUILD/refserver/quilo-server" --data "$WORK/server-$1" --port 0 --seed "$ROOT/examples/demo/server" \
    >"$WORK/server-$1.log" 2>&1 &
  SERVER=$!
  URL=$(bench_server_url "$WORK/server-$1.log") || exit 1
}

server_ticks() { awk '{ print $14 + $15 }' "/proc/$SERVER/stat"; }

# upload NAME JOB [OPTIONS...]: `quilo upload` to a fresh server; sets WALL, RSS_KB, CPU (client s),
# SERVER_CPU (s), STORED (article records of the run) and HEADERS.
upload() {
  local name=$1 job=$2
  shift 2
  start_server "$name"
  # What earlier runs left to write back (tens of thousands of log files) is written first, so
  # it does not land inside this run.
  sync
  local before
  before=$(server_ticks)
  QUILO_ID=demo QUILO_PW=demo /usr/bin/time -v -o "$WORK/$name.time" \
    "$BUILD/quilo" upload "$job" --server "$URL" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" || {
    tail -5 "$WORK/$name.out" "$WORK/$name.err"; exit 1; }
  SERVER_CPU=$(awk -v a="$before" -v b="$(server_ticks)" -v hz="$(getconf CLK_TCK)" 'BEGIN { print (b - a) / hz }')
  read -r WALL RSS_KB < <(time_report "$WORK/$name.time")
  CPU=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$WORK/$name.time")
  read -r STORED HEADERS < <(python3 - "$WORK/server-$name/quilo.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect('file:' + sys.argv[1] + '?mode=ro', uri=True)
run = db.execute('SELECT MAX(id) FROM runs').fetchone()[0]
a = db.execute('SELECT COUNT(*) FROM records WHERE run_id=? AND is_header=0', (run,)).fetchone()[0]
h = db.execute('SELECT COUNT(*) FROM records WHERE run_id=? AND is_header=1', (run,)).fetchone()[0]
print(a, h)
PY
  )
}

rm -rf "$WORK"
mkdir -p "$WORK/home"
export QUILO_HOME="$WORK/home"

# ---- 1 and 2: the records, without and with request logs ----
# About 1 KB of source text per article.
python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" --headings "$ARTICLES" \
  --files $(( ARTICLES >= 200 ? 200 : 1 )) --megabytes "$(awk -v a="$ARTICLES" 'BEGIN { print a / 1000 }')"
"$BUILD/quilo" generate "$WORK/job" >/dev/null 2>"$WORK/generate.err" || { tail -5 "$WORK/generate.err"; exit 1; }
"$BENCH" prepare "$WORK/job" 2>&1 | tee "$WORK/prepare.out" | tail -1
articles=$(sed -n 's/^prepared \([0-9]*\) articles.*/\1/p' "$WORK/prepare.out")
[ -n "$articles" ] || exit 1

# Plain and logged uploads take turns, three times each, and the fastest of each counts: one
# upload on this 2-core machine varies by 15 % from run to run, more than the logs cost.
best_plain="" best_logged=""
for round in 1 2 3; do
  upload "records$round" "$WORK/job"
  records=$((STORED + HEADERS))
  lost=$((articles + 1 - records))
  rate=$(awk -v r="$records" -v w="$WALL" 'BEGIN { printf "%.0f", r / (w > 0 ? w : 0.001) }')
  echo "records: $((articles + 1)) sent, $records on the server, $lost lost; wall $WALL s: $rate records/s"
  awk -v c="$CPU" -v s="$SERVER_CPU" -v r="$records" -v w="$WALL" 'BEGIN {
    printf "client CPU %.2f s = %.3f ms per record; server CPU %.2f s = %.3f ms per record (%.0f%% of one core)\n",
      c, c * 1000 / r, s, s * 1000 / r, s * 100 / (w > 0 ? w : 0.001) }'
  echo "client peak memory $((RSS_KB / 1024)) MiB"
  if [ -z "$best_plain" ] || awk -v a="$WALL" -v b="$best_plain" 'BEGIN { exit !(a < b) }'; then
    best_plain=$WALL plain_rss=$RSS_KB plain_lost=$lost plain_records=$records
    plain_server=$(awk -v s="$SERVER_CPU" -v r="$records" 'BEGIN { printf "%.3f", s * 1000 / r }')
  fi

  # The logs of the round before are moved aside, not deleted: the command would delete them
  # inside the timed run, and files made right after deleting tens of thousands come slowly.
  [ -d "$WORK/job/log" ] && mv "$WORK/job/log" "$WORK/log-before-$round"
  upload "logged$round" "$WORK/job" --log
  logs=$(find "$WORK/job/log" -type f | wc -l)
  echo "with --log: wall $WALL s, $logs log files, $((STORED + HEADERS)) records on the server"
  if [ -z "$best_logged" ] || awk -v a="$WALL" -v b="$best_logged" 'BEGIN { exit !(a < b) }'; then
    best_logged=$WALL logged_records=$((STORED + HEADERS))
  fi
done

rate=$(awk -v r="$plain_records" -v w="$best_plain" 'BEGIN { printf "%.0f", r / (w > 0 ? w : 0.001) }')
bench_row "quilo upload, $articles articles (best of 3)" "$rate records/s, $((plain_rss / 1024)) MiB, $plain_lost lost" \
  "server CPU $plain_server ms/record" "-" ">= 2000 records/s, < 64 MiB, none lost" \
  "$(bench_met "$rate >= 2000 && $plain_rss < 64 * 1024 && $plain_lost == 0")"
ratio=$(awk -v a="$best_logged" -v b="$best_plain" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.001) }')
bench_row "quilo upload --log, $articles articles (best of 3)" "$best_logged s, $logs logs" "without --log $best_plain s" \
  "$ratio" "<= 1.2x" "$(bench_met "$ratio <= 1.2 && $logged_records == $plain_records")"

# ---- 3: the images ----
python3 "$ROOT/bench/articles/make_job.py" "$WORK/imgjob" --headings 20 --files 1 --megabytes 0.02
"$BUILD/quilo" generate "$WORK/imgjob" >/dev/null 2>"$WORK/generate-img.err" || { tail -5 "$WORK/generate-img.err"; exit 1; }
"$BENCH" prepare "$WORK/imgjob" --inserted-images 2>&1 | tail -1
# 25 noisy pictures from about 10 to 60 KB, copied to IMAGES names in two folders.
mkdir -p "$WORK/pictures" "$WORK/imgjob/img/sub"
for i in $(seq 0 24); do
  convert -size $((130 + i * 10))x$((100 + i * 7)) -seed "$i" xc:gray +noise Random -quality 80 "$WORK/pictures/$i.jpg"
done
for n in $(seq 1 "$IMAGES"); do
  folder=$WORK/imgjob/img
  [ $((n % 4)) = 0 ] && folder=$WORK/imgjob/img/sub
  cp "$WORK/pictures/$((n % 25)).jpg" "$folder/$(printf 'p%04d.jpg' "$n")"
done
bytes=$(find "$WORK/imgjob/img" -name '*.jpg' -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo "images: $IMAGES files, $((bytes / 1024)) KiB ($(find "$WORK/pictures" -name '*.jpg' -printf '%s\n' | sort -n |
  awk 'NR == 1 { a = $1 } { b = $1 } END { printf "%d-%d KB each", a / 1024, b / 1024 }'))"

# curl: the same multipart posts, one after another over one connection.
{
  first=1
  for f in $(cd "$WORK/imgjob/img" && find . -name '*.jpg' | sort); do
    dir=$(dirname "${f#./}")
    if [ "$dir" = . ]; then dir=; fi
    if [ -z "$first" ]; then echo 'next'; fi
    first=
    echo 'url = "URL/ASP/vx__use_fileup.asp"'
    echo 'form = "id=demo"'
    echo 'form = "pw=demo"'
    echo 'form = "pID=9001"'
    echo "form = \"imageFolder=img/$dir\""
    echo "form = \"file=@$WORK/imgjob/img/${f#./};type=multipart/form-data\""
    echo 'output = "/dev/null"'
    echo 'write-out = "%{http_code}\n"'
  done
} >"$WORK/curl.template"

# Half a second each: the two take turns three times, each to a fresh server, and the best of
# each counts.
ours="" yard=""
for round in 1 2 3; do
  upload "images$round" "$WORK/imgjob"
  sent=$(grep -c '^([0-9]*/[0-9]*) ' "$WORK/images$round.out" || true)
  if [ -z "$ours" ] || awk -v a="$WALL" -v b="$ours" 'BEGIN { exit !(a < b) }'; then ours=$WALL best_sent=$sent; fi

  start_server "curl$round"
  sed "s|URL/|$URL/|" "$WORK/curl.template" >"$WORK/curl.cfg"
  sync
  t0=$(date +%s%N)
  curl -s -K "$WORK/curl.cfg" >"$WORK/curl.out"
  t1=$(date +%s%N)
  took=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", (b - a) / 1e9 }')
  okays=$(grep -c '^200$' "$WORK/curl.out" || true)
  echo "images: quilo upload $WALL s ($sent files), curl $took s ($okays files)"
  if [ -z "$yard" ] || awk -v a="$took" -v b="$yard" 'BEGIN { exit !(a < b) }'; then yard=$took best_okays=$okays; fi
done
sent=$best_sent okays=$best_okays
ratio=$(awk -v a="$ours" -v b="$yard" 'BEGIN { printf "%.2f", a / (b > 0 ? b : 0.001) }')
bench_row "quilo upload, $IMAGES images of 10-60 KB (best of 3)" "$ours s" "curl, same files and server, $yard s" "$ratio" "<= 1.3x" \
  "$(bench_met "$ratio <= 1.3 && $sent == $IMAGES && $okays == $IMAGES")"
