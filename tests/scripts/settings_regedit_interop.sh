#!/usr/bin/env bash
# The settings file and Wine's registry editor understand each other:
#  1. `regedit /s` imports a file made by our writer and yields exactly the values (and keys) exported;
#  2. our reader applies a file that `regedit /e` exported exactly as `regedit /s` applies it: the
#     same keys (empty ones too) and values, in all of the editor's value forms and wrapped lines.
# Runs under scripts/test with WINEPREFIX, DISPLAY and a wine server already set up.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
TOOL=$BUILD_ROOT/windows/settingstool.exe
REGEDIT='C:\windows\regedit.exe'
# Below a listed key: only there does an empty section say that its key existed (the writer writes
# the listed keys' own sections whether they exist or not).
KEY='Software\Kestrove\Transfer\InteropTest'
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

echo "== 2. our reader imports regedit's export as regedit does"
regedit /e "$(win "$WORK/theirs.reg")" "HKEY_CURRENT_USER\\$KEY" || fail "regedit /e"
grep -qa 'h.e.x.(.2.).:.*\\' "$WORK/theirs.reg" || fail "expected the editor to wrap a long hex(2) line"
grep -qa 'd.w.o.r.d.:' "$WORK/theirs.reg" || fail "expected the editor to write a dword line"
tool delete "$KEY"
regedit /s "$(win "$WORK/theirs.reg")" || fail "regedit /s of its own export"
tool dump "$KEY" "$(win "$WORK/expected.txt")"
tool delete "$KEY"
tool import "$(win "$WORK/theirs.reg")" || fail "our import refused the editor's file"
tool dump "$KEY" "$(win "$WORK/got.txt")"
grep -q $'^K\t.*\\Empty$' "$WORK/got.txt" || fail "the empty key was not created"
diff "$WORK/expected.txt" "$WORK/got.txt" || fail "our reader applied the editor's file differently from the editor"
echo "settings interop with regedit: passed"
