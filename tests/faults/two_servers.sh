#!/bin/bash
# Two quilo-server processes on one PostgreSQL database behind a small loopback balancer. A client
# that waits and sends again after a failed request, as the program does, uploads RECORDS records;
#   1. one server is killed (-9) in the middle: the resends reach the other;
#   2. PostgreSQL is restarted in the middle: requests fail while it is gone and are sent again.
# Each time the product must hold every record exactly once (counted in the database).
#   two_servers.sh --bin DIR [--records N]     (DIR holds refserver/quilo-server)
set -uo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$SRC/build RECORDS=60
while [ $# -gt 0 ]; do
  case $1 in --bin) BIN=$2; shift 2 ;; --records) RECORDS=$2; shift 2 ;; *) echo "unknown $1" >&2; exit 2 ;; esac
done
SERVER=$BIN/refserver/quilo-server
[ -x "$SERVER" ] || { echo "missing $SERVER" >&2; exit 2; }
command -v python3 >/dev/null || { echo "two_servers: SKIPPED: python3 is not installed"; exit 77; }
ls /usr/lib/postgresql/*/bin/initdb >/dev/null 2>&1 || { echo "two_servers: SKIPPED: no PostgreSQL"; exit 77; }
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QUILO_SERVER_PBKDF2_ITERATIONS=2000

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-two.XXXXXX")
PIDS=""
cleanup() {
  for p in $PIDS; do kill -9 "$p" 2>/dev/null; done
  bash "$SRC/refserver/tests/pg_cluster.sh" stop "$WORK/pg"
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

bash "$SRC/refserver/tests/pg_cluster.sh" start "$WORK/pg" || fail "no PostgreSQL cluster"
URL=$(cat "$WORK/pg")
"$SERVER" admin --data "$WORK/data" --db "$URL" seed-load "$SRC/examples/demo/server" >/dev/null || fail "seed"

# Starts a server; prints "PID PORT".
serve() {
  local log=$WORK/server$1.log
  "$SERVER" --data "$WORK/data" --db "$URL" --port 0 >"$log" 2>&1 &
  local pid=$! port=""
  for _ in $(seq 100); do
    port=$(sed -n 's|^quilo-server listening on http://127.0.0.1:\([0-9]*\)$|\1|p' "$log")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { cat "$log" >&2; return 1; }
  echo "$pid $port"
}

# The balancer: each connection goes to the next server that accepts it.
cat >"$WORK/balancer.py" <<'PY'
import socket, sys, threading
backs = [int(p) for p in sys.argv[1:]]
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(64)
print(s.getsockname()[1], flush=True)
turn = 0
def pipe(a, b):
    try:
        while True:
            d = a.recv(65536)
            if not d: break
            b.sendall(d)
    except OSError: pass
    for x in (a, b):
        try: x.shutdown(socket.SHUT_RDWR)
        except OSError: pass
while True:
    c, _ = s.accept()
    for i in range(len(backs)):
        port = backs[(turn + i) % len(backs)]
        try:
            u = socket.create_connection(("127.0.0.1", port), timeout=2); u.settimeout(None); break
        except OSError: u = None
    turn += 1
    if u is None: c.close(); continue
    threading.Thread(target=pipe, args=(c, u), daemon=True).start()
    threading.Thread(target=pipe, args=(u, c), daemon=True).start()
PY

# The client: the program's upload of one tab, every failed request (no connection, a broken one, an
# HTTP error status) waited for briefly and sent again; an "ERROR" reply stops it. Touches FLAG after
# half the records so that the fault can be made then.
cat >"$WORK/client.py" <<'PY'
import http.client, sys, time, os
port, records, flag = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
def post(path, body):
    for _ in range(600):
        try:
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
            c.request("POST", path, body, {"Content-Type": "application/x-www-form-urlencoded"})
            r = c.getresponse(); text = r.read().decode("utf-8", "replace"); c.close()
            if r.status == 200:
                if "ERROR" in text.splitlines()[0] or "오류" in text.splitlines()[0]: sys.exit("refused: " + text)
                return text
        except (OSError, http.client.HTTPException):
            pass
        time.sleep(0.2)
    sys.exit("the server never came back")
login = "id=demo&pw=demo&p_id=9001&p_dcode=DEMO01"
mode = post("/ASP/vx__InsertProductStart.asp", login).strip()
post("/ASP/vx__InsertProduct.asp", login + "&ar_id=101&content_number=1&page_number=1&content_detail=H&coremeta=has_child=1|parent_number=0")
for n in range(1, records + 1):
    if n == records // 2: open(flag, "w").close()
    post("/ASP/vx__InsertProduct.asp", login + "&ar_id=101&content_number=%d&page_number=%d&content_detail=A%d&page_detail=%s" % (n + 1, n, n, "x" * 2000))
post("/ASP/vx__InsertProductComplete.asp", login + ("&p_update=again" if mode == "UPDATE" else ""))
PY

# One upload with FAULT made half-way; then the product must hold the header and every record once.
round() {
  local name=$1 fault=$2
  read -r PA A < <(serve a) || fail "server a"
  read -r PB B < <(serve b) || fail "server b"
  PIDS="$PIDS $PA $PB"
  python3 "$WORK/balancer.py" "$A" "$B" >"$WORK/balancer.port" &
  local bal=$!
  PIDS="$PIDS $bal"
  for _ in $(seq 50); do [ -s "$WORK/balancer.port" ] && break; sleep 0.1; done
  rm -f "$WORK/half"
  python3 "$WORK/client.py" "$(cat "$WORK/balancer.port")" "$RECORDS" "$WORK/half" &
  local client=$!
  for _ in $(seq 600); do [ -e "$WORK/half" ] && break; sleep 0.1; done
  [ -e "$WORK/half" ] || fail "$name: the upload did not get half-way"
  $fault
  wait $client || fail "$name: the upload did not complete"
  kill -9 $PA $PB $bal 2>/dev/null
  wait $PA $PB $bal 2>/dev/null
  local show
  show=$("$SERVER" admin --data "$WORK/data" --db "$URL" product-show 9001) || fail "$name: product-show"
  local state records headers
  state=$(echo "$show" | awk -F'\t' '$1=="run" {print $4}')
  headers=$(echo "$show" | awk -F'\t' '$1=="record" && $5=="1"' | wc -l)
  records=$(echo "$show" | awk -F'\t' '$1=="record" && $5=="0"' | wc -l)
  distinct=$(echo "$show" | awk -F'\t' '$1=="record" && $5=="0" {print $3 "/" $4}' | sort -u | wc -l)
  [ "$state" = completed ] || fail "$name: the run is $state"
  [ "$headers" -eq 1 ] && [ "$records" -eq "$RECORDS" ] && [ "$distinct" -eq "$RECORDS" ] ||
    fail "$name: $headers headers, $records records ($distinct distinct) for $RECORDS sent"
  echo "ok: $name: every record once ($RECORDS records)"
}

kill_a() { kill -9 "$PA"; }
restart_pg() { bash "$SRC/refserver/tests/pg_cluster.sh" restart "$WORK/pg" 2 || fail "PostgreSQL did not restart"; }
round "one server killed mid-upload" kill_a
round "PostgreSQL restarted mid-upload" restart_pg
exit 0
