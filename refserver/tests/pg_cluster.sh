#!/bin/bash
# A throwaway PostgreSQL cluster for the tests, on a Unix socket in its own folder under /tmp.
#   pg_cluster.sh start STATE   initdb + pg_ctl start; writes the cluster's URL into STATE
#   pg_cluster.sh stop STATE    stops the cluster and removes its folder and STATE
#   pg_cluster.sh restart STATE stops it (dropping its connections), waits SECONDS (2), starts it
# PostgreSQL refuses to run as root: then the cluster is run by "nobody", who owns its folder.
set -euo pipefail
cmd=${1:-} state=${2:-}
[ -n "$state" ] || { echo "usage: $0 start|stop STATE" >&2; exit 2; }
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "no PostgreSQL server binaries (Debian package postgresql)" >&2; exit 1; }
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}
# Only the socket in the folder; no durability needed for tests.
run() {
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $dir -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=300" \
    start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
}
case $cmd in
start)
  dir=$(mktemp -d /tmp/quilo-pg.XXXXXX)
  echo "$dir" >"$state.dir"
  [ "$(id -u)" -ne 0 ] || chown nobody: "$dir"
  as_owner "$bin/initdb" -D "$dir/data" -U quilo --auth=trust --no-sync -E UTF8 --locale=C >"$dir/initdb.log" 2>&1 ||
    { cat "$dir/initdb.log" >&2; exit 1; }
  run
  echo "postgresql://quilo@/postgres?host=$dir" >"$state"
  ;;
restart)
  dir=$(cat "$state.dir")
  as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || exit 1
  sleep "${3:-2}"
  run
  ;;
stop)
  [ -f "$state.dir" ] || exit 0
  dir=$(cat "$state.dir")
  if [ -d "$dir/data" ]; then as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null || true; fi
  rm -rf "$dir" "$state" "$state.dir"
  ;;
*)
  echo "usage: $0 start|stop|restart STATE" >&2
  exit 2
  ;;
esac
