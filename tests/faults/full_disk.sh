#!/bin/bash
# Runs each save on a small tmpfs filled up to a few bytes: the save must fail with a message on
# stderr, leave every file its previous whole version (nothing half-written under a real name),
# and succeed once there is room again. Needs the right to mount; skips with a message (exit 77)
# where mounting is not allowed.
#   full_disk.sh [--ops "generate split ..."] [--bin DIR] [--driver DIR]
set -uo pipefail
SRC=$(cd "$(dirname "$0")/../.." && pwd)
OPS=""
BIN=${QUILO_BIN:-$SRC/build}
DRIVER_DIR=""
while [ $# -gt 0 ]; do
  case $1 in
    --ops) OPS=$2; shift 2 ;;
    --bin) BIN=$2; shift 2 ;;
    --driver) DRIVER_DIR=$2; shift 2 ;;
    *) echo "usage: $0 [--ops LIST] [--bin DIR] [--driver DIR]" >&2; exit 2 ;;
  esac
done
. "$SRC/tests/faults/lib.sh"
OPS=${OPS:-$OPS_ALL}
find_binaries

WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-full.XXXXXX")
MNT=$WORK/mnt
mkdir -p "$MNT"
cleanup() { mountpoint -q "$MNT" && umount "$MNT"; rm -rf "$WORK"; }
trap cleanup EXIT
if ! mount -t tmpfs -o size=4m tmpfs "$MNT" 2>/dev/null; then
  echo "full_disk: SKIPPED: mounting a small file system is not allowed here"
  exit 77
fi
umount "$MNT"
export QUILO_HOME=$WORK/home HOME=$WORK/home
mkdir -p "$QUILO_HOME"

# Fills the file system of $1 until only $2 bytes are left (tmpfs counts whole pages).
fill_up() {
  dd if=/dev/zero of="$1/filler" bs=64k 2>/dev/null
  [ "$2" -gt 0 ] && truncate -s "-$2" "$1/filler"
  sync
}

failures=0
for op in $OPS; do
  base=$WORK/$op
  make_reference "$op" "$base" || { failures=$((failures + 1)); continue; }
  for room in 0 8192 40960; do
    mount -t tmpfs -o size=4m tmpfs "$MNT" || exit 2
    prepare_"$op" "$MNT"
    fill_up "$MNT" "$room"
    ( run_"$op" "$MNT" ) >"$WORK/out" 2>"$WORK/err"
    rc=$?
    why=""
    if [ $rc -ne 0 ]; then
      [ -s "$WORK/err" ] || why="$op: failed without a message"
      [ $rc -gt 2 ] && why="$op: ended with status $rc (a crash?): $(tail -n 2 "$WORK/err" | tr '\n' ' ')"
    fi
    # Whatever happened, each file is a whole version and a new one has its backup.
    [ -z "$why" ] && why=$(check_files "$op" "$MNT" "$base/old" "$base/ref")
    if [ -z "$why" ] && declare -F extra_"$op" >/dev/null; then why=$(extra_"$op" "$MNT" "$base/ref"); fi
    if [ -z "$why" ]; then
      rm -f "$MNT/filler"
      if ! ( run_"$op" "$MNT" ) >"$WORK/rerun" 2>&1; then
        why="$op: the rerun with room failed: $(tail -n 3 "$WORK/rerun" | tr '\n' ' ')"
      else
        why=$(check_final "$op" "$MNT" "$base/ref")
      fi
    fi
    msg=$(grep -v '^-*$' "$WORK/err" | tail -n 1 | cut -c1-100)
    if [ -n "$why" ]; then
      failures=$((failures + 1)); echo "FAIL $op with $room bytes free: $why"
    else
      echo "$op with $room bytes free: exit $rc${msg:+, last message: $msg}"
    fi
    umount "$MNT"
  done
done
[ $failures -eq 0 ] && echo "full_disk: every save kept the previous files whole" || echo "full_disk: $failures failures"
[ $failures -eq 0 ]
