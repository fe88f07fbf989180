#!/usr/bin/env bash
# "/backup" under Wine onto a 1 MiB tmpfs that the archive cannot fit, and a restore and a reset
# whose undo point cannot fit there (the FullDiskE2E cases of e2e_tests.exe). Mounting needs root;
# where the system refuses it the check says so and passes, as the same fault is covered natively
# by the unit tests' file-size limit (FullDiskTest).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${KBT_BUILD_ROOT:-$ROOT/build}
E2E=$BUILD/windows/e2e_tests.exe
[ -f "$E2E" ] || { echo "missing $E2E"; exit 1; }

DISK=$BUILD/full-disk
mkdir -p "$DISK"
if ! mount -t tmpfs -o size=1m tmpfs "$DISK" 2>/dev/null; then
  echo "skipped: cannot mount a tmpfs here (needs root); FullDiskTest covers the fault natively"
  exit 0
fi
trap 'umount "$DISK" 2>/dev/null' EXIT

LOG=$BUILD/full-disk.log
KBT_FULL_DISK_FOLDER=$(winepath -w "$DISK") \
  wine "$E2E" --gtest_filter='FullDiskE2E.*' </dev/null >"$LOG" 2>&1
rc=$?
cat "$LOG"
grep -aq '^\[  PASSED  \] 3 tests' "$LOG" || { echo "expected 3 passed cases"; exit 1; }
exit $rc
