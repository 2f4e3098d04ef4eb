#!/bin/bash
# A server that accepts the connection and then never answers, or answers one byte a second:
# the login and the product list stay stoppable with Ctrl+C (SIGINT), end promptly, and leave the
# files they replace ("bookinfo.ini", "codetable.txt") whole. Needs python3 for the server;
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
SERVER=""
cleanup() { [ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; rm -rf "$WORK"; }
trap cleanup EXIT
export QUILO_HOME=$WORK/home HOME=$WORK/home
mkdir -p "$QUILO_HOME"

# MODE silent: read the request, say nothing. MODE trickle: a valid reply, one byte a second.
# Bound to loopback; stops by itself after a minute.
cat > "$WORK/server.py" <<'PY'
import socket, sys, threading, time
mode = sys.argv[1]
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0)); s.listen(16)
print(s.getsockname()[1], flush=True)
s.settimeout(60)
def serve(c):
    try:
        c.recv(65536)
        if mode == "trickle":
            reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 40\r\n\r\n" + "x" * 40
            for b in reply.encode():
                c.send(bytes([b])); time.sleep(1)
        else:
            time.sleep(60)
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

failures=0
for mode in silent trickle; do
  exec {fd}< <(python3 "$WORK/server.py" "$mode")
  SERVER=$!
  read -r -t 10 port <&$fd || { echo "slow_server: the test server did not start"; exit 2; }
  for cmd in login products; do
    printf 'OLD\r\n' > "$QUILO_HOME/bookinfo.ini"; printf 'OLD\r\n' > "$QUILO_HOME/codetable.txt"
    # Job control for the start only: a non-interactive shell starts background commands with
    # SIGINT ignored, which is not how a terminal runs the program.
    set -m
    "$QUILO" "$cmd" --id demo --pw demo --server "http://127.0.0.1:$port" >"$WORK/out" 2>"$WORK/err" &
    pid=$!
    set +m
    sleep 1
    kill -INT "$pid" 2>/dev/null
    ended=0
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || { ended=1; break; }; sleep 0.1; done
    if [ $ended = 0 ]; then
      kill -9 "$pid" 2>/dev/null
      echo "FAIL $cmd against a $mode server: still running 5 s after Ctrl+C"; failures=$((failures + 1))
    fi
    wait "$pid" 2>/dev/null; rc=$?
    if [ $rc -eq 0 ]; then echo "FAIL $cmd against a $mode server: reported success"; failures=$((failures + 1)); fi
    for f in bookinfo.ini codetable.txt; do
      [ "$(cat "$QUILO_HOME/$f" 2>/dev/null)" = $'OLD\r' ] || { echo "FAIL $cmd against a $mode server: $f changed"; failures=$((failures + 1)); }
    done
    [ -s "$WORK/out" ] && { echo "FAIL $cmd against a $mode server: printed a result"; failures=$((failures + 1)); }
    echo "$cmd against a $mode server: stopped, exit $rc"
  done
  kill "$SERVER" 2>/dev/null; wait "$SERVER" 2>/dev/null; SERVER=""
  exec {fd}<&-
done
[ $failures -eq 0 ] && echo "slow_server: every request stayed stoppable" || echo "slow_server: $failures failures"
[ $failures -eq 0 ]
