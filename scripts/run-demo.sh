#!/bin/bash
# Installs what is needed, builds, starts the reference server with the demo data and the
# desktop program on a fresh copy of the demo job folder.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILO_TESTS=OFF
cmake --build build -j"$(nproc)"

DEMO=${QUILO_DEMO_DIR:-/tmp/quilo-demo}
rm -rf "$DEMO"
mkdir -p "$DEMO/home" "$DEMO/server"
if [ -d examples/demo/job ]; then
  cp -r examples/demo/job "$DEMO/job"
  # The program opens the copy, never the job folder in the repository.
  printf '[JOBS]\r\nWorkFolder=%s\r\n' "$DEMO/job" > "$DEMO/home/quilo-maker.ini"
fi
export QUILO_HOME="$DEMO/home"

PORT=${QUILO_PORT:-8079}
SERVER_PID=""
if [ -x build/refserver/quilo-server ]; then
  SEED=()
  [ -d examples/demo/server ] && SEED=(--seed "$ROOT/examples/demo/server")
  build/refserver/quilo-server --data "$DEMO/server" --port "$PORT" "${SEED[@]}" &
  SERVER_PID=$!
  trap '[ -n "$SERVER_PID" ] && kill $SERVER_PID 2>/dev/null || true' EXIT
  for _ in $(seq 50); do curl -s "http://127.0.0.1:$PORT/" >/dev/null && break; sleep 0.2; done
fi
export QUILO_SERVER_URL="http://127.0.0.1:$PORT"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # No desktop here: give the program a virtual screen.
  Xvfb :99 -screen 0 1280x800x24 >/dev/null 2>&1 &
  export DISPLAY=:99
  echo "No display found; the program runs on the virtual screen $DISPLAY."
  sleep 1
fi
[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
build/quilo-maker
