#!/bin/bash
# Load check of the reference server: builds the release binaries and, each on a fresh quilo-server
# on a free loopback port with the demo seed (memory measured with /usr/bin/time -v):
#  1. CLIENTS clients post RECORDS article records while SLOW slow clients stay connected; prints
#     records per second, whether every record reached the database, and a login's time beside them;
#  2. UPLOADS parallel multipart uploads of UPLOAD_MB MB with a wrong password;
#  3. the same with the right password and a file over the server's limit (64 MB);
#  4. the owner's upload alone (quiet) and under each attack of someone without the password (header
#     flood, 5 000 idle connections, 16 tricklers, a wrong-password storm on the owner's ID), with a
#     TABLE line each: the owner's records/s and login time against the quiet figure, peak memory.
#     Aim: records/s at least half the quiet figure, peak memory under 256 MB;
#  5. when PostgreSQL's server binaries are installed: CLIENTS clients posting RECORDS records to one
#     process on SQLite, one process on PostgreSQL and two processes sharing it, counted in the database.
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/lib.sh
BUILD=${QUILO_BENCH_BUILD:-build-bench}
CLIENTS=${CLIENTS:-8}
RECORDS=${RECORDS:-4000}
ATTACK_RECORDS=${ATTACK_RECORDS:-2000}
SLOW=${SLOW:-64}
UPLOADS=${UPLOADS:-16}
UPLOAD_MB=${UPLOAD_MB:-60}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_BENCH=ON >/dev/null
cmake --build "$BUILD" --target quilo-server quilo-server-load >/dev/null

DATA=""
PID=""
cleanup() {
  if [ -n "$PID" ]; then kill "$PID" 2>/dev/null || true; wait "$PID" 2>/dev/null || true; fi
  if [ -n "$DATA" ]; then rm -rf "$DATA"; fi
  PID=""
  DATA=""
}
trap cleanup EXIT

# Starts a server under /usr/bin/time; sets DATA, PID, PORT.
start() {
  DATA=$(mktemp -d /tmp/quilo-server-bench.XXXXXX)
  /usr/bin/time -v -o "$DATA/time.txt" "$BUILD/refserver/quilo-server" --data "$DATA/data" --port 0 \
    --seed examples/demo/server >"$DATA/server.log" 2>&1 &
  PID=$!
  PORT=$(bench_server_url "$DATA/server.log") || exit 1
  PORT=${PORT##*:}
}

# Stops the server and prints its peak memory.
finish() {
  # /usr/bin/time ignores SIGINT itself; the server is its only child.
  kill -INT "$(pgrep -P "$PID")"
  wait "$PID" || true
  PID=""
  PEAK=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$DATA/time.txt" | awk '{printf "%.1f", $1/1024}')
  echo "server peak memory $PEAK MB"
  rm -rf "$DATA"
  DATA=""
}

start
echo "== records, $SLOW slow clients connected: quilo-server (release) on 127.0.0.1:$PORT"
"$BUILD/refserver/quilo-server-load" --port "$PORT" --db "$DATA/data/quilo.db" --clients "$CLIENTS" \
  --records "$RECORDS" --slow "$SLOW"
finish

start
echo "== $UPLOADS uploads of $UPLOAD_MB MB at once, wrong password"
"$BUILD/refserver/quilo-server-load" --port "$PORT" --db "$DATA/data/quilo.db" --uploads "$UPLOADS" \
  --upload-mb "$UPLOAD_MB" --upload-pw wrong
finish

start
echo "== $UPLOADS uploads of 70 MB at once, right password, over the file limit"
"$BUILD/refserver/quilo-server-load" --port "$PORT" --db "$DATA/data/quilo.db" --uploads "$UPLOADS" --upload-mb 70
finish

# The owner's upload, quiet and under attack; one TABLE line per attack.
owner() {
  start
  echo "== owner's upload of $ATTACK_RECORDS records${1:+ under attack: $1}"
  "$BUILD/refserver/quilo-server-load" --port "$PORT" --db "$DATA/data/quilo.db" --clients 1 \
    --records "$ATTACK_RECORDS" ${1:+--attack "$1"} | tee "$OUT" || true
  finish
  RATE=$(sed -n 's/^records per second *//p' "$OUT")
  LOGIN=$(sed -n 's/^login beside them *//p' "$OUT")
  grep -q '^no record lost' "$OUT" && LOST=no || LOST=yes
}
OUT=$(mktemp /tmp/quilo-server-bench-out.XXXXXX)
owner ""
QUIET=$RATE QUIET_LOGIN=$LOGIN
for attack in headers idle trickle wrongpw; do
  owner "$attack"
  awk -v a="$attack" -v r="$RATE" -v q="$QUIET" -v l="$LOGIN" -v ql="$QUIET_LOGIN" -v p="$PEAK" -v lost="$LOST" 'BEGIN {
    ratio = q > 0 ? r / q : 0
    met = (ratio >= 0.5 && p < 256 && lost == "no") ? "yes" : "no"
    printf "TABLE|server: owner under %s attack|%s rec/s, login %s, peak %s MB%s|quiet %s rec/s, login %s|%.2f|>= 0.5 of quiet, peak < 256 MB|%s\n",
      a, r, l, p, lost == "no" ? "" : ", RECORDS LOST", q, ql, ratio, met
  }'
done

# One team database: SQLite against PostgreSQL with one and with two server processes, each on a
# fresh database (a second run of the same records would replace the first's).
if ls /usr/lib/postgresql/*/bin/initdb >/dev/null 2>&1; then
  PGSTATE=$(mktemp /tmp/quilo-server-bench-pg.XXXXXX)
  trap 'cleanup; bash refserver/tests/pg_cluster.sh stop "$PGSTATE" 2>/dev/null || true' EXIT
  team() { # NAME: one TABLE line with the records/s of the run in $OUT
    sed -n 's/^records per second *//p; /LOST/p' "$OUT" | paste -sd' ' | sed "s/^/TABLE|server: $CLIENTS clients, $1|/; s/$/ rec\/s|-|-|-|-/"
  }
  start
  "$BUILD/refserver/quilo-server-load" --port "$PORT" --db "$DATA/data/quilo.db" --clients "$CLIENTS" --records "$RECORDS" >"$OUT" || true
  finish >/dev/null
  team "SQLite, one process"
  for procs in 1 2; do
    bash refserver/tests/pg_cluster.sh start "$PGSTATE"
    URL=$(cat "$PGSTATE")
    SHARED=$(mktemp -d /tmp/quilo-server-bench.XXXXXX)
    "$BUILD/refserver/quilo-server" admin --data "$SHARED/data" --db "$URL" seed-load examples/demo/server >/dev/null
    PIDS=() PORTS=()
    for n in $(seq "$procs"); do
      "$BUILD/refserver/quilo-server" --data "$SHARED/data" --db "$URL" --port 0 >"$SHARED/server$n.log" 2>&1 &
      PIDS+=($!)
      P=$(bench_server_url "$SHARED/server$n.log") || exit 1
      PORTS+=("${P##*:}")
    done
    SECOND=()
    [ "$procs" = 2 ] && SECOND=(--port2 "${PORTS[1]}")
    "$BUILD/refserver/quilo-server-load" --port "${PORTS[0]}" "${SECOND[@]}" --db "$URL" --clients "$CLIENTS" \
      --records "$RECORDS" >"$OUT" || true
    kill "${PIDS[@]}"
    wait "${PIDS[@]}" 2>/dev/null || true
    rm -rf "$SHARED"
    bash refserver/tests/pg_cluster.sh stop "$PGSTATE"
    team "PostgreSQL, $procs process(es)"
  done
fi
rm -f "$OUT"
