#!/usr/bin/env bash
# Restores every hostile archive of tests/hostile/make_hostile.py with BackupTool.exe under Wine
# (the HostileArchiveE2E cases of e2e_tests.exe). scripts/test runs it with Wine already set up.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${KBT_BUILD_ROOT:-$ROOT/build}
E2E=$BUILD/windows/e2e_tests.exe
[ -f "$E2E" ] || { echo "missing $E2E"; exit 1; }

ARCHIVES=$BUILD/hostile-archives
rm -rf "$ARCHIVES"
python3 "$ROOT/tests/hostile/make_hostile.py" "$ARCHIVES" || { echo "generator failed"; exit 1; }

LOG=$BUILD/hostile-archives.log
KBT_HOSTILE_ARCHIVES=$(winepath -w "$ARCHIVES") \
  wine "$E2E" --gtest_filter='HostileArchiveE2E.*' </dev/null >"$LOG" 2>&1
rc=$?
cat "$LOG"
# Every case must have run and passed; a skipped or missing case is a failure here.
grep -aq '^\[  PASSED  \] 21 tests' "$LOG" || { echo "expected 21 passed cases"; exit 1; }
exit $rc
