#!/usr/bin/env bash
# A backup made on one machine restored on another (a second Wine prefix):
#  - the archive made by BackupTool.exe passes `unzip -t` and its comment is three LF-ended lines;
#  - on the second machine the folder values name that machine's folders;
#  - a queue recorded on a drive the second machine lacks lands as queue.dat in its data folder,
#    with the queue's "Last File" pointing there; so do the favorites when their folder can't be written.
# Runs under scripts/test with WINEPREFIX, DISPLAY and a wine server already set up.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
DRIVER=$BUILD_ROOT/windows/tooldriver.exe
FIRST=$WINEPREFIX
SECOND=$BUILD_ROOT/wine-second-machine
WORK=$(mktemp -d)
cleanup() {
  WINEPREFIX=$SECOND wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX=$FIRST wine reg delete 'HKCU\Software\Kestrove' /f </dev/null >/dev/null 2>&1 || true
  rm -rf "$WORK" "$FIRST/drive_c/MachineA" "$FIRST/dosdevices/q:"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
reg_add() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
# Wine's output goes through a file: a wine server started by it would keep a pipe open.
wine_out() { wine "$@" </dev/null >"$WORK/wine.out" 2>/dev/null || true; tr -d '\r' <"$WORK/wine.out"; }
tool() { wine_out "$DRIVER" "$@"; }
reg_value() {  # the data of one value as `reg query` prints it
  wine_out reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}

# The first machine: data in C:\MachineA\Data, the queue on drive Q:, which only it has.
A=$FIRST/drive_c/MachineA
mkdir -p "$A/Data" "$A/QDrive/Queues"
ln -sfn "$A/QDrive" "$FIRST/dosdevices/q:"
echo history > "$A/Data/history.dat"
echo favorites > "$A/Data/favorites.dat"
echo queue > "$A/QDrive/Queues/night.que"
reg_add 'HKCU\Software\Kestrove' /v 'Data Path' /t REG_EXPAND_SZ /d 'C:\MachineA\Data'
reg_add 'HKCU\Software\Kestrove\Queue' /v 'Last File' /t REG_EXPAND_SZ /d 'Q:\Queues\night.que'
reg_add 'HKCU\Software\Kestrove\Transfer' /v 'Retries' /t REG_DWORD /d 4
out=$(tool /backup 'C:\MachineA\backup.zip')
grep -q '^\[exit code\] 0$' <<<"$out" || fail "backup on the first machine: $out"
ARCHIVE=$A/backup.zip

unzip -tq "$ARCHIVE" >/dev/null || fail "unzip -t refuses the archive"
python3 - "$ARCHIVE" <<'PY' || fail "the archive comment is not three LF-ended lines"
import re, sys, zipfile
comment = zipfile.ZipFile(sys.argv[1]).comment
assert b"\r" not in comment, comment
lines = comment.split(b"\n")
assert len(lines) == 4 and lines[3] == b"", lines
assert lines[0] == b"Kestrove Client Backup File" and lines[1] == b"", lines
assert re.fullmatch(rb"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ", lines[2]), lines
PY
cp "$ARCHIVE" "$WORK/backup.zip"

# The second machine: a fresh prefix without drive Q: and with an unwritable favorites folder.
export WINEPREFIX=$SECOND
[ -f "$SECOND/system.reg" ] || wineboot -i </dev/null >/dev/null 2>&1
wineserver -p </dev/null >/dev/null 2>&1 || true
rm -f "$SECOND/dosdevices/q:"
cp "$WORK/backup.zip" "$SECOND/drive_c/backup.zip"
reg_add 'HKCU\Software\Kestrove' /v 'Favorites Folder' /t REG_EXPAND_SZ /d 'Q:\Favorites'
out=$(tool /noundo /restore 'C:\backup.zip')  # no undo point left in the second prefix
grep -q '^\[exit code\] 0$' <<<"$out" || fail "restore on the second machine: $out"

appdata=$(wine_out cmd.exe /c 'echo %APPDATA%')
data="$appdata\\Kestrove"
[ "$(reg_value 'HKCU\Software\Kestrove' 'Data Path')" = "$data" ] || fail "Data Path does not name this machine's folder"
[ "$(reg_value 'HKCU\Software\Kestrove' 'Favorites Folder')" = "$data" ] || fail "favorites were not redirected to the data folder"
[ "$(reg_value 'HKCU\Software\Kestrove\Queue' 'Last File')" = "$data\\queue.dat" ] || fail "the queue's Last File was not redirected"
[ "$(reg_value 'HKCU\Software\Kestrove\Transfer' 'Retries')" = "0x4" ] || fail "settings were not restored"
unix_data=$(wine_out winepath.exe -u "$data")
[ "$(cat "$unix_data/queue.dat")" = queue ] || fail "queue.dat missing in the data folder"
[ "$(cat "$unix_data/favorites.dat")" = favorites ] || fail "favorites.dat missing in the data folder"
[ "$(cat "$unix_data/history.dat")" = history ] || fail "history.dat missing in the data folder"
echo "restore on a second machine: ok"
