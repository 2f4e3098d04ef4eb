# Shared by the benchmark scripts (sourced).

# Configures and builds the release targets named, unless QUILO_BENCH_NO_BUILD is set (run-all.sh
# builds once for every benchmark).
bench_build() {
  local build=$1
  shift
  [ -n "${QUILO_BENCH_NO_BUILD:-}" ] && return 0
  cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILO_TESTS=OFF -DQUILO_SANITIZE=OFF \
    -DQUILO_BENCH=ON >/dev/null
  cmake --build "$build" --target "$@" -j"${QUILO_BENCH_JOBS:-2}" >/dev/null
}

# bench_server_url LOG: the address (http://127.0.0.1:PORT) of the quilo-server writing LOG once it
# listens, waiting up to 10 s; otherwise the log on stderr and a failure.
bench_server_url() {
  local url
  for _ in $(seq 100); do
    url=$(sed -n 's|^quilo-server listening on \(http://127.0.0.1:[0-9]*\)$|\1|p' "$1")
    [ -n "$url" ] && { echo "$url"; return 0; }
    sleep 0.1
  done
  cat "$1" >&2
  echo "the server did not start" >&2
  return 1
}

# "WALL_SECONDS PEAK_KB" of a /usr/bin/time -v report.
time_report() {
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$1" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$1")
  echo "$wall $rss"
}

# One row of the table run-all.sh prints: step, our figure, yardstick, ratio, aim, met.
bench_row() {
  local IFS='|'
  echo "TABLE|$*"
}

# "yes" when every condition given as an awk expression holds.
bench_met() {
  awk "BEGIN { print (($1) ? \"yes\" : \"no\") }"
}
