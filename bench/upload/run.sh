#!/bin/bash
# Upload benchmark: a release build writes a synthetic job (bench/articles/make_job.py, 40 000
# headings by default), generates its articles with `quilo generate`, marks every tenth article as a
# further page and initialises the meta data (quilo-bench-upload prepare), then uploads the whole job
# to a fresh quilo-server on loopback with the demo seed, under /usr/bin/time. Reports records per
# second, the client's peak memory and CPU per record, and the records the server holds.
#   bench/upload/run.sh [ARTICLES]
# The client is `quilo upload` when the command line has it, else quilo-bench-upload's own run
# (the same RunUpload, transport and no request logs); QUILO_BENCH_CLIENT=bench forces the latter.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${QUILO_BENCH_BUILD:-/tmp/quilo-bench-build}
WORK=${QUILO_BENCH_WORK:-/tmp/quilo-bench-upload}
ARTICLES=${1:-40000}

[ -x /usr/bin/time ] || bash "$ROOT/scripts/setup.sh"

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_SANITIZE=OFF \
  -DQUILO_BENCH=ON >/dev/null
cmake --build "$BUILD" --target quilo quilo-server quilo-bench-upload -j"${QUILO_BENCH_JOBS:-2}" >/dev/null
BENCH=$(find "$BUILD" -name quilo-bench-upload -type f -perm -u+x | head -1)

SERVER=""
cleanup() {
  if [ -n "$SERVER" ]; then kill "$SERVER" 2>/dev/null || true; wait "$SERVER" 2>/dev/null || true; fi
}
trap cleanup EXIT

rm -rf "$WORK"
mkdir -p "$WORK/home"
export QUILO_HOME="$WORK/home"
# About 1 KB of source text per article.
python3 "$ROOT/bench/articles/make_job.py" "$WORK/job" --headings "$ARTICLES" \
  --files $(( ARTICLES >= 200 ? 200 : 1 )) --megabytes "$(awk -v a="$ARTICLES" 'BEGIN { print a / 1000 }')"
"$BUILD/quilo" generate "$WORK/job" >/dev/null 2>"$WORK/generate.err" || { tail -5 "$WORK/generate.err"; exit 1; }
"$BENCH" prepare "$WORK/job" 2>&1 | tee "$WORK/prepare.out" | tail -1
articles=$(sed -n 's/^prepared \([0-9]*\) articles.*/\1/p' "$WORK/prepare.out")
[ -n "$articles" ] || exit 1

"$BUILD/refserver/quilo-server" --data "$WORK/server" --port 0 --seed "$ROOT/examples/demo/server" \
  >"$WORK/server.log" 2>&1 &
SERVER=$!
URL=""
for _ in $(seq 100); do
  URL=$(sed -n 's|^quilo-server listening on \(http://127.0.0.1:[0-9]*\)$|\1|p' "$WORK/server.log")
  [ -n "$URL" ] && break
  sleep 0.1
done
[ -n "$URL" ] || { cat "$WORK/server.log"; echo "the server did not start"; exit 1; }

if [ "${QUILO_BENCH_CLIENT:-}" != bench ] && "$BUILD/quilo" --help 2>&1 | grep -qE '^ *(quilo )?upload( |$)'; then
  export QUILO_ID=demo QUILO_PW=demo
  CLIENT=("$BUILD/quilo" upload "$WORK/job" --server "$URL")
else
  CLIENT=("$BENCH" upload "$WORK/job" "$URL")
fi
echo "client: $(basename "${CLIENT[0]}") ${CLIENT[*]:1}"
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$SERVER/stat"; }
server_before=$(cpu_ticks)
/usr/bin/time -v -o "$WORK/upload.time" "${CLIENT[@]}" >"$WORK/upload.out" 2>"$WORK/upload.err" || {
  tail -5 "$WORK/upload.out" "$WORK/upload.err"; exit 1; }
tail -2 "$WORK/upload.out"
server_cpu=$(awk -v a="$server_before" -v b="$(cpu_ticks)" -v hz="$(getconf CLK_TCK)" 'BEGIN { print (b - a) / hz }')

# What the server holds for the last run, counted in its own database.
read -r stored headers < <(python3 - "$WORK/server/quilo.db" <<'PY'
import sqlite3, sys
db = sqlite3.connect('file:' + sys.argv[1] + '?mode=ro', uri=True)
run = db.execute('SELECT MAX(id) FROM runs').fetchone()[0]
a = db.execute('SELECT COUNT(*) FROM records WHERE run_id=? AND is_header=0', (run,)).fetchone()[0]
h = db.execute('SELECT COUNT(*) FROM records WHERE run_id=? AND is_header=1', (run,)).fetchone()[0]
print(a, h)
PY
)

awk -F': ' -v stored="$stored" -v headers="$headers" -v articles="$articles" -v server="$server_cpu" '
  /Elapsed \(wall clock\)/ { n = split($2, p, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + p[i] }
  /User time/ { user = $2 }
  /System time/ { sys = $2 }
  /Maximum resident set size/ { rss = $2 }
  END {
    records = stored + headers
    printf "records: %d sent, %d on the server (%d articles + %d headers), %d lost\n", articles + 1, records, stored, headers, articles + 1 - records
    printf "wall %.2f s: %.0f records/s (aim: at least 500)\n", wall, records / (wall > 0 ? wall : 0.001)
    printf "client CPU %.2f s user + %.2f s sys = %.3f ms per record (aim: under 1 ms)\n", user, sys, (user + sys) * 1000 / (records > 0 ? records : 1)
    printf "client peak memory %.1f MB\n", rss / 1024
    printf "server CPU %.2f s = %.3f ms per record\n", server, server * 1000 / (records > 0 ? records : 1)
  }' "$WORK/upload.time"
