#!/bin/bash
# A real book through the whole road: the Korean GIMP manual of Debian's gimp-help-ko (685 pages,
# about 2 200 headings on 7 levels, about 1 950 pictures in the book's own folder tree) is turned
# into a job by make_job.py and taken through scripts/whole-road.sh against quilo-server; the
# server's readback must match the job exactly.
#
#   bash bench/realbook/run.sh [--bin DIR] [--html DIR] [--keep DIR]
#
# --bin DIR   build folder with quilo and quilo-server (default build/)
# --html DIR  the manual's HTML folder (default: the package is downloaded and unpacked)
# --keep DIR  keep the prepared job in DIR/job (passed to whole-road.sh)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN=$ROOT/build
HTML=""
KEEP=()
while [ $# -gt 0 ]; do
  case $1 in
    --bin) BIN=$2; shift 2 ;;
    --html) HTML=$2; shift 2 ;;
    --keep) KEEP=(--keep "$2"); shift 2 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/quilo-realbook.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
if [ -z "$HTML" ]; then
  (cd "$WORK" && apt-get download gimp-help-ko >&2) || { echo "cannot download gimp-help-ko" >&2; exit 1; }
  dpkg -x "$WORK"/gimp-help-ko_*.deb "$WORK/pkg"
  HTML=$WORK/pkg/usr/share/gimp/2.0/help/ko
fi
echo "converting $HTML" >&2
start=$(date +%s)
python3 "$ROOT/bench/realbook/make_job.py" "$HTML" "$WORK/job" "$WORK/seed" --demo-seed "$ROOT/examples/demo/server" \
  --name "김프 사용설명서" --code GIMPKO >"$WORK/figures.txt"
echo "converted in $(($(date +%s) - start)) s" >&2
start=$(date +%s)
bash "$ROOT/scripts/whole-road.sh" --bin "$BIN" --job "$WORK/job" --seed "$WORK/seed" "${KEEP[@]}"
echo "whole road in $(($(date +%s) - start)) s"
echo "the book as converted:"
sed 's/^/  /' "$WORK/figures.txt"
