#!/usr/bin/env bash
# The settings file and Wine's registry editor understand each other:
#  1. `regedit /s` imports a file made by our writer and yields exactly the values (and keys) exported;
#  2. our reader accepts a file that `regedit /e` exported and applies its typed hex lines, up to the
#     first line of another form in each section (the editor writes strings, dwords and binary data
#     in other forms), joining the editor's wrapped lines.
# Runs under scripts/test with WINEPREFIX, DISPLAY and a wine server already set up.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
TOOL=$BUILD_ROOT/windows/settingstool.exe
REGEDIT='C:\windows\regedit.exe'
KEY='Software\Kestrove\InteropTest'
[ -f "$TOOL" ] || { echo "missing $TOOL"; exit 1; }

WORK=$(mktemp -d)
cleanup() {
  wine "$TOOL" delete "$KEY" </dev/null >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT
win() { printf 'Z:%s' "$1" | tr / '\\'; }
tool() { wine "$TOOL" "$@" </dev/null >>"$WORK/wine.log" 2>&1; }
regedit() { wine "$REGEDIT" "$@" </dev/null >>"$WORK/wine.log" 2>&1; }
fail() { echo "FAIL: $*"; exit 1; }

tool delete "$KEY"
tool seed-interop "$KEY" || fail "seeding"
tool dump "$KEY" "$(win "$WORK/seeded.txt")" || fail "dump"
[ "$(grep -c '^V' "$WORK/seeded.txt")" -ge 20 ] || fail "seeded values missing"

echo "== 1. regedit /s imports our writer's file"
tool export "$(win "$WORK/ours.reg")" "$KEY" || fail "our export"
tool delete "$KEY"
regedit /s "$(win "$WORK/ours.reg")" || fail "regedit /s"
tool dump "$KEY" "$(win "$WORK/after-regedit.txt")"
diff "$WORK/seeded.txt" "$WORK/after-regedit.txt" || fail "regedit imported other values or keys than we exported"

echo "== 2. our reader imports regedit's export"
regedit /e "$(win "$WORK/theirs.reg")" "HKEY_CURRENT_USER\\$KEY" || fail "regedit /e"
grep -qa 'h.e.x.(.2.).:.*\\' "$WORK/theirs.reg" || fail "expected the editor to wrap a long hex(2) line"
tool delete "$KEY"
tool import "$(win "$WORK/theirs.reg")" || fail "our import refused the editor's file"
tool dump "$KEY" "$(win "$WORK/after-ours.txt")"
# Expected: every value of HexOnly (all typed hex lines), and of Mixed only the value before the
# plain string; nothing of the sections that start with another form.
{ grep -P '^V\t[^\t]*\\HexOnly\t' "$WORK/seeded.txt"
  grep -P '^V\t[^\t]*\\Mixed\ta expand\t' "$WORK/seeded.txt"; } | sort >"$WORK/expected.txt"
grep '^V' "$WORK/after-ours.txt" | sort >"$WORK/got.txt"
[ "$(wc -l <"$WORK/expected.txt")" -eq 6 ] || fail "expected set is not as designed"
diff "$WORK/expected.txt" "$WORK/got.txt" || fail "our reader applied other values than the editor's typed hex lines"
echo "settings interop with regedit: passed"
