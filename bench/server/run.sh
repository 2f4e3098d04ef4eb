#!/bin/bash
# Load check of the reference server: builds the release binaries, starts quilo-server on a free
# loopback port with the demo seed, lets CLIENTS clients post RECORDS article records and prints
# records per second and whether every record reached the database.
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=${QUILO_BENCH_BUILD:-build-bench}
CLIENTS=${CLIENTS:-8}
RECORDS=${RECORDS:-4000}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_BENCH=ON >/dev/null
cmake --build "$BUILD" --target quilo-server quilo-server-load >/dev/null

DATA=$(mktemp -d /tmp/quilo-server-bench.XXXXXX)
LOG="$DATA/server.log"
"$BUILD/refserver/quilo-server" --data "$DATA" --port 0 --seed examples/demo/server >"$LOG" 2>&1 &
PID=$!
trap 'kill $PID 2>/dev/null || true; wait $PID 2>/dev/null || true; rm -rf "$DATA"' EXIT
PORT=""
for _ in $(seq 100); do
  PORT=$(sed -n 's|^quilo-server listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$LOG")
  [ -n "$PORT" ] && break
  sleep 0.1
done
[ -n "$PORT" ] || { cat "$LOG"; echo "the server did not start"; exit 1; }
echo "quilo-server (release) on 127.0.0.1:$PORT"
"$BUILD/refserver/quilo-server-load" --port "$PORT" --db "$DATA/quilo.db" --clients "$CLIENTS" --records "$RECORDS"
