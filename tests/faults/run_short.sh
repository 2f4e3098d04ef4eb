#!/bin/bash
# The short fault run for CTest: a few kills per save, the full disk (skipped where mounting is not
# allowed) and the silent server. Arguments: the folder of quilo, the folder of fault_driver.
set -uo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=$1 DRV=$2
status=0 skipped=0
bash "$HERE/kill_during_save.sh" --runs 3 --bin "$BIN" --driver "$DRV" || status=1
bash "$HERE/full_disk.sh" --bin "$BIN" --driver "$DRV"; rc=$?
[ $rc -eq 77 ] && skipped=$((skipped + 1)) || { [ $rc -eq 0 ] || status=1; }
bash "$HERE/slow_server.sh" --bin "$BIN"; rc=$?
[ $rc -eq 77 ] && skipped=$((skipped + 1)) || { [ $rc -eq 0 ] || status=1; }
exit $status
