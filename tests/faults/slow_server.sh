#!/bin/bash
# A server that accepts the connection and then never answers, or answers one byte a second:
# every command that waits on the server stays stoppable with Ctrl+C (SIGINT), ends promptly, and
# leaves the files it would replace whole: the login and the product list ("bookinfo.ini",
# "codetable.txt"), the keyword definitions fetch ("keywords.txt"), and the index commands that
# fetch the missing column file "VuxMetaInfo.txt" first (categories, extract, meta init: their
# category file, workbook and .kwd, and no half column file), and the upload while its start
# message waits (the job folder unchanged). Needs python3 for the server;
# skips with a message (exit 77) without it.
#   slow_server.sh [--bin DIR]
set -uo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
BIN=${QUILO_BIN:-$SRC/build}
[ "${1:-}" = "--bin" ] && BIN=$2
QUILO=$BIN/quilo
[ -x "$QUILO" ] || { echo "missing $QUILO" >&2; exit 2; }
command -v python3 >/dev/null || { echo "slow_server: SKIPPED: python3 is not installed"; exit 77; }
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-slow.XXXXXX")
SERVER="" REAL=""
cleanup() { for p in $SERVER $REAL; do kill "$p" 2>/dev/null; done; rm -rf "$WORK"; }
trap cleanup EXIT
export QUILO_HOME=$WORK/home HOME=$WORK/home
mkdir -p "$QUILO_HOME"

# MODE silent: read the request, say nothing. MODE trickle: a valid reply, one byte a second.
# With UPSTREAM PATH MARKER only requests for PATH are slow (MARKER is created when one comes);
# the others are passed to the server on port UPSTREAM. Bound to loopback; stops by itself
# after a minute.
cat > "$WORK/server.py" <<'PY'
import socket, sys, threading, time
mode = sys.argv[1]
upstream = int(sys.argv[2]) if len(sys.argv) > 2 else 0
slow_path = sys.argv[3] if len(sys.argv) > 3 else ""
marker = sys.argv[4] if len(sys.argv) > 4 else ""
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(16)
print(s.getsockname()[1], flush=True)
s.settimeout(60)
def slow(c):
    if mode == "trickle":
        reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 40\r\n\r\n" + "x" * 40
        for b in reply.encode():
            c.send(bytes([b])); time.sleep(1)
    else:
        time.sleep(60)
def read_request(c):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = c.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    while len(body) < length:
        chunk = c.recv(65536)
        if not chunk:
            break
        body += chunk
    return head, body
def relay(c, head, body):
    lines = [l for l in head.split(b"\r\n") if not l.lower().startswith(b"connection:")]
    u = socket.create_connection(("127.0.0.1", upstream))
    u.sendall(b"\r\n".join(lines) + b"\r\nConnection: close\r\n\r\n" + body)
    while True:
        chunk = u.recv(65536)
        if not chunk:
            break
        c.sendall(chunk)
    u.close()
def serve(c):
    try:
        if not upstream:
            c.recv(65536)
            slow(c)
            return
        request = read_request(c)
        if request is None:
            return
        if request[0].split(b"\r\n")[0].split(b" ")[1].decode() == slow_path:
            open(marker, "w").close()
            slow(c)
        else:
            relay(c, *request)
    except OSError:
        pass
    finally:
        c.close()
end = time.time() + 60
while time.time() < end:
    try:
        c, _ = s.accept()
    except OSError:
        break
    threading.Thread(target=serve, args=(c,), daemon=True).start()
PY

# The demo job with an old version of every file the index commands would replace, and a code
# table in the data folder (as `quilo login` leaves it) for the commands that need one.
JOB=$WORK/job
cp -r "$SRC/examples/demo/job" "$JOB"
for f in keywords.txt 본문_category.txt 색인_본문.xls 본문.kwd; do printf 'OLD %s\r\n' "$f" > "$JOB/$f"; done
mkdir -p "$WORK/old"; cp "$JOB"/keywords.txt "$JOB"/본문_category.txt "$JOB"/색인_본문.xls "$JOB"/본문.kwd "$WORK/old/"
code_table() {
  { printf '\xff\xfe'; grep -v '^#' "$SRC/examples/demo/server/codetable.tsv" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } \
    > "$QUILO_HOME/codetable.txt"
}

# Starts the command with Ctrl+C deliverable, presses it after a second, and checks the end.
# Sets `why` to what went wrong, empty when the command stopped cleanly.
stop_with_ctrl_c() {
  why=""
  # Job control for the start only: a non-interactive shell starts background commands with
  # SIGINT ignored, which is not how a terminal runs the program.
  set -m
  "$QUILO" "$@" >"$WORK/out" 2>"$WORK/err" &
  pid=$!
  set +m
  sleep 1
  # Ended on its own already: it never waited on the server, so nothing was tested.
  kill -0 "$pid" 2>/dev/null || why="ended before Ctrl+C: $(tail -n 2 "$WORK/err" | tr '\n' ' ')"
  kill -INT "$pid" 2>/dev/null
  ended=0
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || { ended=1; break; }; sleep 0.1; done
  if [ $ended = 0 ]; then
    kill -9 "$pid" 2>/dev/null
    why="still running 5 s after Ctrl+C"
  fi
  wait "$pid" 2>/dev/null; rc=$?
  [ -z "$why" ] && [ $rc -eq 0 ] && why="reported success"
  [ -z "$why" ] && [ -s "$WORK/out" ] && why="printed a result"
  return 0
}

failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
for mode in silent trickle; do
  exec {fd}< <(python3 "$WORK/server.py" "$mode")
  SERVER=$!
  read -r -t 10 port <&$fd || { echo "slow_server: the test server did not start"; exit 2; }
  url=http://127.0.0.1:$port
  for cmd in login products; do
    printf 'OLD\r\n' > "$QUILO_HOME/bookinfo.ini"; printf 'OLD\r\n' > "$QUILO_HOME/codetable.txt"
    stop_with_ctrl_c "$cmd" --id demo --pw demo --server "$url"
    [ -n "$why" ] && fail "$cmd against a $mode server: $why"
    for f in bookinfo.ini codetable.txt; do
      [ "$(cat "$QUILO_HOME/$f" 2>/dev/null)" = $'OLD\r' ] || fail "$cmd against a $mode server: $f changed"
    done
    echo "$cmd against a $mode server: stopped, exit $rc"
  done

  # The keyword definitions: the column file and code table are there, the request is the fetch.
  code_table; cp "$SRC/examples/demo/server/VuxMetaInfo.txt" "$QUILO_HOME/"
  stop_with_ctrl_c keywords fetch "$JOB" --id demo --pw demo --server "$url"
  [ -n "$why" ] && fail "keywords fetch against a $mode server: $why"
  cmp -s "$JOB/keywords.txt" "$WORK/old/keywords.txt" || fail "keywords fetch against a $mode server: keywords.txt changed"
  echo "keywords fetch against a $mode server: stopped, exit $rc"

  # The index commands ask the server only for a missing column file.
  for c in "categories|본문_category.txt" "extract|색인_본문.xls" "meta init|본문.kwd"; do
    name=${c%|*}; target=${c#*|}
    rm -f "$QUILO_HOME/VuxMetaInfo.txt"
    # shellcheck disable=SC2086
    stop_with_ctrl_c $name "$JOB" --server "$url"
    [ -n "$why" ] && fail "$name against a $mode server: $why"
    cmp -s "$JOB/$target" "$WORK/old/$target" || fail "$name against a $mode server: $target changed"
    [ -e "$QUILO_HOME/VuxMetaInfo.txt" ] && fail "$name against a $mode server: a VuxMetaInfo.txt was left"
    echo "$name against a $mode server: stopped, exit $rc"
  done
  kill "$SERVER" 2>/dev/null; wait "$SERVER" 2>/dev/null; SERVER=""
  exec {fd}<&-
done
# The upload: a job prepared down the whole road, the reference server behind the test server,
# and only the start message held. Ctrl+C stops the run (status 1, the pane's closing line on
# stdout) and the job folder stays as it was (the request logs aside).
SERVER_BIN=$BIN/refserver/quilo-server
if [ ! -x "$SERVER_BIN" ] || [ ! -f "$SRC/scripts/whole-road.sh" ]; then
  echo "upload: SKIPPED: quilo-server or scripts/whole-road.sh is missing"
elif ! bash "$SRC/scripts/whole-road.sh" --bin "$BIN" --keep "$WORK/road" >"$WORK/road.log" 2>&1; then
  fail "upload: preparing the job failed: $(tail -n 3 "$WORK/road.log" | tr '\n' ' ')"
else
  UPJOB=$WORK/road/job
  "$SERVER_BIN" --data "$WORK/srv" --port 0 --seed "$SRC/examples/demo/server" >"$WORK/srv.out" 2>&1 &
  REAL=$!
  real_port=""
  for _ in $(seq 1 100); do
    real_port=$(sed -n 's|.*http://127\.0\.0\.1:\([0-9]*\).*|\1|p' "$WORK/srv.out" | head -n 1)
    [ -n "$real_port" ] && break
    sleep 0.1
  done
  snapshot() { (cd "$UPJOB" && find . -type f ! -path './log/*' -exec md5sum {} + | sort); }
  snapshot >"$WORK/job.before"
  for mode in silent trickle; do
    exec {fd}< <(python3 "$WORK/server.py" "$mode" "${real_port:-1}" /ASP/vx__InsertProductStart.asp "$WORK/start")
    SERVER=$!
    read -r -t 10 port <&$fd || { echo "slow_server: the test server did not start"; exit 2; }
    rm -f "$WORK/start"
    set -m
    "$QUILO" upload "$UPJOB" --arid 101 --id demo --pw demo --server "http://127.0.0.1:$port" >"$WORK/out" 2>"$WORK/err" &
    pid=$!
    set +m
    why=""
    for _ in $(seq 1 300); do [ -e "$WORK/start" ] || ! kill -0 "$pid" 2>/dev/null && break; sleep 0.1; done
    [ -e "$WORK/start" ] || why="the start message never came: $(tail -n 2 "$WORK/err" | tr '\n' ' ')"
    sleep 0.5
    kill -INT "$pid" 2>/dev/null
    ended=0
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || { ended=1; break; }; sleep 0.1; done
    if [ $ended = 0 ]; then kill -9 "$pid" 2>/dev/null; why="still running 5 s after Ctrl+C"; fi
    wait "$pid" 2>/dev/null; rc=$?
    [ -z "$why" ] && [ $rc -ne 1 ] && why="ended with status $rc, not 1 (stopped)"
    [ -z "$why" ] && [ "$(tail -n 1 "$WORK/out")" != "전송이 중지되었습니다." ] && why="the pane does not end with the stop"
    snapshot >"$WORK/job.after"
    cmp -s "$WORK/job.before" "$WORK/job.after" || why="${why:+$why; }the job folder changed"
    [ -n "$why" ] && fail "upload against a $mode start: $why"
    echo "upload against a $mode start: stopped, exit $rc"
    kill "$SERVER" 2>/dev/null; wait "$SERVER" 2>/dev/null; SERVER=""
    exec {fd}<&-
  done
  kill "$REAL" 2>/dev/null; wait "$REAL" 2>/dev/null; REAL=""
fi
[ $failures -eq 0 ] && echo "slow_server: every request stayed stoppable" || echo "slow_server: $failures failures"
[ $failures -eq 0 ]
