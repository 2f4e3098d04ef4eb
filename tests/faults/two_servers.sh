#!/bin/bash
# Two quilo-server processes on one PostgreSQL database behind a small loopback balancer, and
# `quilo upload` of a prepared job (the demo job with RECORDS more articles) through it:
#   0. a clean upload (a new product): the reference;
#   1. the server that holds the upload's connection is killed (-9) half-way: the program sends
#      again (over a new connection, or after its wait) and reaches the other;
#   2. PostgreSQL is restarted half-way: the servers answer errors while it is gone, the program
#      waits and sends again.
# Each time the upload must report success and the product must hold every article of the job
# exactly once, one header per tab, the run completed, and the same data as the clean upload.
#   two_servers.sh --bin DIR [--records N]     (DIR holds quilo and refserver/quilo-server)
set -uo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$SRC/build RECORDS=100
while [ $# -gt 0 ]; do
  case $1 in --bin) BIN=$2; shift 2 ;; --records) RECORDS=$2; shift 2 ;; *) echo "unknown $1" >&2; exit 2 ;; esac
done
QUILO=$BIN/quilo SERVER=$BIN/refserver/quilo-server
for b in "$QUILO" "$SERVER"; do [ -x "$b" ] || { echo "missing $b" >&2; exit 2; }; done
[[ $RECORDS =~ ^[0-9]+$ ]] && [ "$RECORDS" -ge 10 ] || { echo "--records takes a number from 10" >&2; exit 2; }
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
# Nothing of the operator's is read or written: own data folder and home.
export QUILO_HOME=$WORK/home HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share
export XDG_CONFIG_HOME=$WORK/home/.config XDG_CACHE_HOME=$WORK/home/.cache
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"

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

# The balancer: each connection goes to the next server that accepts it. Prints its port, then
# the server's port for every connection it passes on.
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
    print(port, flush=True)
    threading.Thread(target=pipe, args=(c, u), daemon=True).start()
    threading.Thread(target=pipe, args=(u, c), daemon=True).start()
PY

# The job: the demo job with a fourth part of RECORDS short articles, taken down the road to a
# passed pre-upload check once (against one server), then copied for every upload.
prepare_job() {
  local job=$WORK/prepared pid port
  cp -r "$SRC/examples/demo/job" "$job"
  { printf '\xff\xfe'
    { echo "<h1>제4부 덧붙인 기록</h1>"
      for k in $(seq "$RECORDS"); do echo "<h2>기록 $k</h2>"; echo "덧붙인 기록 $k의 본문. 바람과 소금과 등대의 이야기."; done
    } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } >"$job/본문/04_제4부.txt"
  read -r pid port < <(serve prep) || fail "server prep"
  PIDS="$PIDS $pid"
  export QUILO_SERVER_URL=http://127.0.0.1:$port QUILO_ID=demo QUILO_PW=demo
  step() {
    "$QUILO" "$@" >"$WORK/prep.out" 2>"$WORK/prep.err" ||
      fail "preparing the job: quilo $*: $(tail -n 3 "$WORK/prep.out" "$WORK/prep.err" | tr '\n' ' ')"
  }
  step login
  step generate "$job" --after ". "
  step connect "$job" --auto
  step pages "$job" --tab 본문 --by-title
  step pages "$job" --tab 번역 --by-title
  step image-links "$job" --tab 본문 --set 1=0001.jpg,0012.jpg
  step keywords fetch "$job"
  step categories "$job" --tab 본문 --tab 번역 --set 1=기타/역사
  step extract "$job"
  step meta init "$job"
  step check "$job"
  kill -9 "$pid"; wait "$pid" 2>/dev/null
  unset QUILO_SERVER_URL
  # What the job holds: every node of a tab's tree but its root is one record.
  EXPECTED=""
  local tab
  for tab in 본문 번역; do
    EXPECTED="$EXPECTED $tab=$(($("$QUILO" tree "$job" --tab "$tab" | wc -l) - 1))"
  done
  echo "prepared: the demo job with $RECORDS more articles;$EXPECTED"
}

# The product as the database holds it, without the run's id and times.
product() {
  "$SERVER" admin --data "$WORK/data" --db "$URL" product-show 9001 >"$WORK/show" || fail "product-show"
  awk -F'\t' -v OFS='\t' '
    $1 == "record" { $6 = ""; print }
    $1 == "tablink" { $8 = ""; print }
    $1 == "imagelink" { $4 = ""; print }
    $1 == "file" { $5 = ""; print }' "$WORK/show" | sort
}

# One upload with FAULT made when the program reports article HALF of the fourth part; then the
# run must be completed and the product hold each article of the job once.
HALF=$((RECORDS / 2))
round() {
  local name=$1 fault=$2
  read -r PA A < <(serve a) || fail "server a"
  read -r PB B < <(serve b) || fail "server b"
  PIDS="$PIDS $PA $PB"
  python3 "$WORK/balancer.py" "$A" "$B" >"$WORK/balancer.out" &
  local bal=$!
  PIDS="$PIDS $bal"
  for _ in $(seq 50); do [ -s "$WORK/balancer.out" ] && break; sleep 0.1; done
  # -a: the pre-upload check compares the times of the meta result file and the article index.
  rm -rf "$WORK/job"; cp -a "$WORK/prepared" "$WORK/job"
  # Emptied here: the progress of the round before must not count for this one.
  : >"$WORK/upload.out"
  "$QUILO" upload "$WORK/job" --arid 101 --wait 1 --note "$name" --id demo --pw demo \
    --server "http://127.0.0.1:$(head -n 1 "$WORK/balancer.out")" >"$WORK/upload.out" 2>"$WORK/upload.err" &
  local client=$!
  if [ "$fault" != none ]; then
    for _ in $(seq 1200); do
      grep -q " 기록 $HALF\$" "$WORK/upload.out" && break
      kill -0 $client 2>/dev/null || break
      sleep 0.05
    done
    grep -q " 기록 $HALF\$" "$WORK/upload.out" || fail "$name: the upload did not get half-way: $(tail -n 3 "$WORK/upload.err")"
    grep -q " 기록 $RECORDS\$" "$WORK/upload.out" && fail "$name: the upload was over before the fault; use more --records"
    $fault
  fi
  local rc=0
  wait $client || rc=$?
  [ $rc -eq 0 ] && [ "$(tail -n 1 "$WORK/upload.out")" = "전송이 완료되었습니다." ] ||
    fail "$name: the upload ended with status $rc: $(tail -n 3 "$WORK/upload.out" "$WORK/upload.err" | tr '\n' ' ')"
  kill -9 $PA $PB $bal 2>/dev/null
  wait $PA $PB $bal 2>/dev/null
  check_$fault
  product >"$WORK/$name.product"
  local state headers tab count
  state=$(awk -F'\t' '$1=="run" {print $4}' "$WORK/show")
  [ "$state" = completed ] || fail "$name: the run is $state"
  headers=$(awk -F'\t' '$1=="record" && $5=="1"' "$WORK/show" | wc -l)
  [ "$headers" -eq 2 ] || fail "$name: $headers tab headers"
  for count in $EXPECTED; do
    tab=${count%=*}
    count=${count#*=}
    local arid records distinct
    arid=$([ "$tab" = 본문 ] && echo 101 || echo 102)
    records=$(awk -F'\t' -v a="$arid" '$1=="record" && $2==a && $5=="0"' "$WORK/show" | wc -l)
    distinct=$(awk -F'\t' -v a="$arid" '$1=="record" && $2==a && $5=="0" {print $3 "/" $4}' "$WORK/show" | sort -u | wc -l)
    [ "$records" -eq "$count" ] && [ "$distinct" -eq "$count" ] ||
      fail "$name: $tab holds $records records ($distinct distinct) for the job's $count articles"
  done
  if [ -e "$WORK/reference.product" ]; then
    diff "$WORK/reference.product" "$WORK/$name.product" >"$WORK/diff" ||
      fail "$name: the product differs from the clean upload: $(head -n 6 "$WORK/diff")"
  else
    cp "$WORK/$name.product" "$WORK/reference.product"
  fi
  echo "ok: $name: every article once ($EXPECTED ), $(grep -c '기다립니다' "$WORK/upload.err") waits"
}

check_none() { :; }
# The server that got the latest connection holds the upload's; after the kill the upload must
# have gone on through the other.
kill_busy() {
  KILLED=$(tail -n 1 "$WORK/balancer.out")
  SEEN=$(wc -l <"$WORK/balancer.out")
  if [ "$KILLED" = "$A" ]; then kill -9 "$PA"; OTHER=$B; else kill -9 "$PB"; OTHER=$A; fi
}
check_kill_busy() {
  tail -n +$((SEEN + 1)) "$WORK/balancer.out" | grep -qx "$OTHER" || fail "no connection reached the other server after the kill"
}
restart_pg() { bash "$SRC/refserver/tests/pg_cluster.sh" restart "$WORK/pg" 2 || fail "PostgreSQL did not restart"; }
check_restart_pg() {
  grep -q '기다립니다' "$WORK/upload.err" || fail "the upload never waited while PostgreSQL was gone"
}

prepare_job
round "clean upload" none
round "one server killed mid-upload" kill_busy
round "PostgreSQL restarted mid-upload" restart_pg
exit 0
