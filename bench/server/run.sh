#!/bin/bash
# Load check of the reference server: builds the release binaries and, each on a fresh quilo-server
# on a free loopback port with the demo seed (memory measured with /usr/bin/time -v):
#  1. CLIENTS clients post RECORDS article records while SLOW slow clients stay connected; prints
#     records per second, whether every record reached the database, and a login's time beside them;
#  2. UPLOADS parallel multipart uploads of UPLOAD_MB MB with a wrong password;
#  3. the same with the right password and a file over the server's limit (64 MB).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${QUILO_BENCH_BUILD:-build-bench}
CLIENTS=${CLIENTS:-8}
RECORDS=${RECORDS:-4000}
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
  PORT=""
  for _ in $(seq 100); do
    PORT=$(sed -n 's|^quilo-server listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$DATA/server.log")
    [ -n "$PORT" ] && break
    sleep 0.1
  done
  [ -n "$PORT" ] || { cat "$DATA/server.log"; echo "the server did not start"; exit 1; }
}

# Stops the server and prints its peak memory.
finish() {
  # /usr/bin/time ignores SIGINT itself; the server is its only child.
  kill -INT "$(pgrep -P "$PID")"
  wait "$PID" || true
  PID=""
  echo "server peak memory $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$DATA/time.txt" | awk '{printf "%.1f MB", $1/1024}')"
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
