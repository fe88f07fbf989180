#!/usr/bin/env bash
# Our archives and the usual zip tools understand each other, in both builds (tests' archivetool
# natively and archivetool.exe under Wine):
#  1. our archives pass `unzip -t`, `zipinfo -z` shows the identifying comment, and Python's zipfile
#     lists the entries with their DOS times and reads their bytes;
#  2. an archive by Info-ZIP `zip -z` (or Python) with the identifying comment is recognised as a
#     backup; one with CR LF line ends, another first line or no comment is not;
#  3. our reader extracts Info-ZIP's entries with their bytes and times, and refuses an encrypted
#     entry without touching the destination;
#  4. entries deflated in pieces on several threads (none, one byte, exactly one piece, a piece and
#     a byte, many pieces) pass `unzip -t`, Python's zipfile, 7-Zip's test, our reader and
#     BackupTool's /verify, in both builds;
#  5. a protected backup by BackupTool.exe passes 7-Zip's test and extraction with its password,
#     with the same bytes, and is refused with a wrong one; BackupTool verifies and restores an
#     archive 7-Zip encrypted with AES-256 once the backup's comment is on it;
#  6. natively, a source of more than 4 GiB reaches the archive intact (zip64).
# Runs under scripts/test with WINEPREFIX, DISPLAY and a wine server already set up.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
NATIVE=$BUILD_ROOT/native/archivetool
WINDOWS=$BUILD_ROOT/windows/archivetool.exe
BACKUPTOOL=$BUILD_ROOT/windows/BackupTool.exe
MAGIC='Kestrove Client Backup File'
[ -x "$NATIVE" ] || { echo "missing $NATIVE"; exit 1; }
[ -f "$WINDOWS" ] || { echo "missing $WINDOWS"; exit 1; }
[ -f "$BACKUPTOOL" ] || { echo "missing $BACKUPTOOL"; exit 1; }
(source "$ROOT/scripts/lib.sh" && install_packages 7zip)

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
win() { printf 'Z:%s' "$1" | tr / '\\'; }
# tool SIDE ARGS...: runs archivetool of that build; absolute paths are handed over in its form.
# Its output is in $WORK/tool.out (never a pipe from wine).
tool() {
  local side=$1; shift
  if [ "$side" = native ]; then
    "$NATIVE" "$@" </dev/null >"$WORK/tool.out" 2>&1
  else
    local args=() a
    for a in "$@"; do case $a in /*) args+=("$(win "$a")") ;; *) args+=("$a") ;; esac; done
    wine "$WINDOWS" "${args[@]}" </dev/null >"$WORK/tool.out" 2>&1
  fi
}

# Sources: the client's file names, an empty file, odd seconds in the times.
SRC=$WORK/src
mkdir -p "$SRC"
python3 - "$SRC" <<'EOF'
import os, random, sys
src = sys.argv[1]
rnd = random.Random(5)
def mixed(n):
    out = bytearray()
    while len(out) < n:
        kind = rnd.randrange(3)
        run = rnd.randrange(1, 20000)
        out += (b"history favorites " * (run // 18 + 1))[:run] if kind == 0 else \
               bytes(rnd.getrandbits(8) for _ in range(run)) if kind == 1 else bytes(run)
    return bytes(out[:n])
files = {
    "settings.reg": "\ufeffWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrove]\r\n".encode("utf-16-le"),
    "history.dat": mixed(300000),
    "custom.dat": b"",
    "folders.dat": mixed(32768),
    "favorites.dat": mixed(40001),
    "queue.dat": mixed(70000),
    "Toolbar.bmp": b"BM" + mixed(5000),
}
for name, data in files.items():
    with open(os.path.join(src, name), "wb") as f:
        f.write(data)
EOF
NAMES=(settings.reg history.dat custom.dat folders.dat favorites.dat queue.dat Toolbar.bmp)
for n in "${NAMES[@]}"; do touch -d '2011-06-15 13:37:43' "$SRC/$n"; done
touch -d '2019-12-31 23:59:59' "$SRC/queue.dat"
FILES=(); for n in "${NAMES[@]}"; do FILES+=("$SRC/$n"); done

# Checks one of our archives with Python's zipfile: names in order, DOS times, bytes, no extra
# fields, deflate, and the three-line comment with the user's comment in either code page.
check_with_python() {
  python3 - "$1" "$SRC" "${NAMES[@]}" <<'EOF'
import datetime, os, re, struct, sys, time, zipfile
archive, src, names = sys.argv[1], sys.argv[2], sys.argv[3:]
z = zipfile.ZipFile(archive)
infos = z.infolist()
assert [i.filename for i in infos] == names, [i.filename for i in infos]
raw = open(archive, "rb").read()
for i in infos:
    path = os.path.join(src, i.filename)
    want = time.localtime(os.stat(path).st_mtime)
    expected = (want.tm_year, want.tm_mon, want.tm_mday, want.tm_hour, want.tm_min, want.tm_sec // 2 * 2)
    assert i.date_time == expected, (i.filename, i.date_time, expected)
    assert z.read(i) == open(path, "rb").read(), i.filename
    assert i.compress_type == zipfile.ZIP_DEFLATED, (i.filename, i.compress_type)
    assert i.extra == b"" and i.comment == b"", i.filename
    name_length, extra_length = struct.unpack_from("<HH", raw, i.header_offset + 26)
    assert extra_length == 0, i.filename
c = z.comment
m = re.fullmatch(rb"Kestrove Client Backup File\n(.*)\n(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)Z\n", c, re.S)
assert m, c
assert m.group(1) in ("interop \u00fc".encode("utf-8"), "interop \u00fc".encode("cp1252")), m.group(1)
stamp = datetime.datetime(*map(int, m.groups()[1:]))
assert abs((datetime.datetime.now() - stamp).total_seconds()) < 600, stamp
EOF
}

for side in native windows; do
  echo "== $side: our archive against unzip, zipinfo and Python"
  archive=$WORK/ours-$side.zip
  # Under Wine the path holds characters outside the ANSI code page.
  [ "$side" = windows ] && archive="$WORK/ünï Ω 日本 $side.zip"
  tool "$side" write "$archive" --backup-comment "interop ü" "${FILES[@]}" || { cat "$WORK/tool.out"; fail "$side write"; }
  unzip -t "$archive" >"$WORK/unzip.out" 2>&1 || { cat "$WORK/unzip.out"; fail "$side: unzip -t"; }
  zipinfo -z "$archive" >"$WORK/zipinfo.out" 2>&1 || fail "$side: zipinfo"
  grep -qx "$MAGIC" "$WORK/zipinfo.out" || { cat "$WORK/zipinfo.out"; fail "$side: zipinfo -z shows no identification line"; }
  grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z$' "$WORK/zipinfo.out" || fail "$side: no time line"
  check_with_python "$archive" || fail "$side: Python's zipfile disagrees"
  tool "$side" identity "$archive" || fail "$side: our own archive is not recognised"
  grep -q '^comment=interop' "$WORK/tool.out" || fail "$side: comment not read back"

  echo "== $side: comments by other tools"
  rm -f "$WORK"/z*.zip
  printf '%s' "$MAGIC" | zip -q -z "$WORK/z-alone.zip" "$SRC/custom.dat"
  tool "$side" identity "$WORK/z-alone.zip" || fail "$side: zip -z with the identification line is not recognised"
  [ "$(tr -d '\r' <"$WORK/tool.out")" = $'comment=\ncreated=' ] || fail "$side: missing lines must read as empty"
  printf '%s\nmy comment\n2005-03-07T09:05:03Z\n' "$MAGIC" | zip -q -z "$WORK/z-crlf.zip" "$SRC/custom.dat"
  python3 -c 'import sys, zipfile; sys.exit(b"\r\n" not in zipfile.ZipFile(sys.argv[1]).comment)' "$WORK/z-crlf.zip" ||
    fail "expected zip -z to store CR LF line ends"
  ! tool "$side" identity "$WORK/z-crlf.zip" || fail "$side: a CR LF comment must not be recognised"
  printf 'Another Tool\n' | zip -q -z "$WORK/z-other.zip" "$SRC/custom.dat"
  ! tool "$side" identity "$WORK/z-other.zip" || fail "$side: another first line must not be recognised"
  zip -q "$WORK/z-none.zip" "$SRC/custom.dat"
  ! tool "$side" identity "$WORK/z-none.zip" || fail "$side: an archive without a comment must not be recognised"
  python3 - "$WORK/z-python.zip" "$SRC/history.dat" <<'EOF'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    z.write(sys.argv[2], "history.dat")
    z.comment = b"Kestrove Client Backup File\npy comment\n2005-03-07T09:05:03Z\nmore\n"
EOF
  tool "$side" identity "$WORK/z-python.zip" || fail "$side: Python's archive with LF lines is not recognised"
  [ "$(tr -d '\r' <"$WORK/tool.out")" = $'comment=py comment\ncreated=2005-03-07T09:05:03Z' ] ||
    { cat "$WORK/tool.out"; fail "$side: wrong identity from Python's archive"; }

  echo "== $side: our reader on Info-ZIP's archive"
  zip -q -6 -j "$WORK/z-info.zip" "${FILES[@]}"
  out=$WORK/out-$side; rm -rf "$out"; mkdir -p "$out"
  tool "$side" extract "$WORK/z-info.zip" "$out" "${NAMES[@]}" || { cat "$WORK/tool.out"; fail "$side: extract"; }
  python3 - "$WORK/z-info.zip" "$SRC" "$out" "${NAMES[@]}" <<'EOF' || fail "$side: extracted bytes or times differ"
import os, sys, time, zipfile
archive, src, out, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
entries = {i.filename: i for i in zipfile.ZipFile(archive).infolist()}
for n in names:
    a, b = os.path.join(src, n), os.path.join(out, n)
    # Info-ZIP rounds odd seconds up; the restored file carries the entry's time, whatever it is.
    want = int(time.mktime(entries[n].date_time + (0, 0, -1)))
    got = os.stat(b)  # before reading moves the access time
    assert int(got.st_mtime) == want and int(got.st_atime) == want, (n, got.st_mtime, got.st_atime, want)
    assert open(a, "rb").read() == open(b, "rb").read(), n
EOF
  [ "$(ls "$out" | wc -l)" -eq "${#NAMES[@]}" ] || fail "$side: stray files beside the extracted ones"

  echo "== $side: an encrypted entry is refused and the destination kept"
  (cd "$SRC" && zip -q -P secret "$WORK/z-secret.zip" history.dat)
  printf 'keep me' >"$out/history.dat"
  ! tool "$side" extract "$WORK/z-secret.zip" "$out" history.dat || fail "$side: encrypted entry extracted"
  [ "$(cat "$out/history.dat")" = 'keep me' ] || fail "$side: destination changed by a failed extraction"
  [ "$(ls "$out" | wc -l)" -eq "${#NAMES[@]}" ] || fail "$side: temporary file left behind"
done

# Names no single ANSI code page holds: stored in UTF-8 with the flag, shown as written by unzip
# and Python, and read back by both builds from Python's archive.
UTF8_NAMES=("位图.bmp" "图标.bmp" "Warteschlange-äöü.que")
for side in native windows; do
  echo "== $side: UTF-8 entry names"
  u=$WORK/utf8-$side; rm -rf "$u"; mkdir -p "$u/out"
  sources=(); for n in "${UTF8_NAMES[@]}"; do printf '%s' "bytes of $n" >"$u/$n"; sources+=("$u/$n"); done
  tool "$side" write "$u/ours.zip" "${sources[@]}" || { cat "$WORK/tool.out"; fail "$side: write UTF-8 names"; }
  LC_ALL=C.UTF-8 unzip -Z1 "$u/ours.zip" >"$u/names.out" 2>&1 || fail "$side: zipinfo on UTF-8 names"
  [ "$(cat "$u/names.out")" = "$(printf '%s\n' "${UTF8_NAMES[@]}")" ] || { cat "$u/names.out"; fail "$side: unzip shows other names"; }
  python3 - "$u/ours.zip" "$u/theirs.zip" "${UTF8_NAMES[@]}" <<'EOF' || fail "$side: Python disagrees on UTF-8 names"
import sys, zipfile
ours, theirs, names = sys.argv[1], sys.argv[2], sys.argv[3:]
infos = zipfile.ZipFile(ours).infolist()
assert [i.filename for i in infos] == names, [i.filename for i in infos]
assert all(i.flag_bits & 0x800 for i in infos)
assert all(zipfile.ZipFile(ours).read(n) == ("bytes of " + n).encode() for n in names)
with zipfile.ZipFile(theirs, "w") as z:
    for n in names:
        z.writestr(n, "theirs " + n)
EOF
  tool "$side" extract "$u/theirs.zip" "$u/out" "${UTF8_NAMES[@]}" || { cat "$WORK/tool.out"; fail "$side: extract UTF-8 names"; }
  for n in "${UTF8_NAMES[@]}"; do [ "$(cat "$u/out/$n")" = "theirs $n" ] || fail "$side: wrong bytes for $n"; done
done

# The writer's piece length (kDeflatePieceSize).
PIECE=$((2 * 1024 * 1024))
P=$WORK/pieces; mkdir -p "$P/src"
python3 - "$P/src" "$PIECE" <<'EOF'
import os, random, sys
src, piece = sys.argv[1], int(sys.argv[2])
rnd = random.Random(11)
def mixed(n):
    out = bytearray()
    while len(out) < n:
        kind, run = rnd.randrange(3), rnd.randrange(1, 60000)
        out += (b"queue history " * (run // 14 + 1))[:run] if kind == 0 else rnd.randbytes(run) if kind == 1 else bytes(run)
    return bytes(out[:n])
sizes = {"custom.dat": 0, "folders.dat": 1, "favorites.dat": piece, "queue.dat": piece + 1, "history.dat": 5 * piece + 3}
for name, size in sizes.items():
    with open(os.path.join(src, name), "wb") as f:
        f.write(mixed(size))
EOF
cp "$SRC/settings.reg" "$P/src/"
PIECE_NAMES=(settings.reg custom.dat folders.dat favorites.dat queue.dat history.dat)
PIECE_FILES=(); for n in "${PIECE_NAMES[@]}"; do PIECE_FILES+=("$P/src/$n"); done
for side in native windows; do
  echo "== $side: entries deflated in pieces, through every reader"
  archive=$P/$side.zip; rm -f "$archive"; rm -rf "$P/out"; mkdir -p "$P/out"
  tool "$side" write "$archive" --backup-comment pieces "${PIECE_FILES[@]}" || { cat "$WORK/tool.out"; fail "$side: write pieces"; }
  unzip -t "$archive" >"$WORK/unzip.out" 2>&1 || { cat "$WORK/unzip.out"; fail "$side: unzip -t on pieces"; }
  7zz t "$archive" >"$WORK/7z.out" 2>&1 || { cat "$WORK/7z.out"; fail "$side: 7-Zip's test on pieces"; }
  grep -q '^Everything is Ok' "$WORK/7z.out" || { cat "$WORK/7z.out"; fail "$side: 7-Zip did not say ok"; }
  python3 - "$archive" "$P/src" "${PIECE_NAMES[@]}" <<'EOF' || fail "$side: Python's zipfile disagrees on pieces"
import os, sys, tempfile, zipfile
archive, src, names = sys.argv[1], sys.argv[2], sys.argv[3:]
z = zipfile.ZipFile(archive)
assert z.testzip() is None
with tempfile.TemporaryDirectory() as out:
    z.extractall(out)
    for n in names:
        assert open(os.path.join(out, n), "rb").read() == open(os.path.join(src, n), "rb").read(), n
EOF
  tool "$side" extract "$archive" "$P/out" "${PIECE_NAMES[@]}" || { cat "$WORK/tool.out"; fail "$side: our reader on pieces"; }
  for n in "${PIECE_NAMES[@]}"; do cmp -s "$P/src/$n" "$P/out/$n" || fail "$side: our reader returned other bytes for $n"; done
  wine "$BACKUPTOOL" /verify "$(win "$archive")" </dev/null >"$WORK/verify.out" 2>&1 || true
  for n in "${PIECE_NAMES[@]}"; do
    grep -qP "^entry\t$n\t$(stat -c %s "$P/src/$n")\tok\r?$" "$WORK/verify.out" ||
      { cat "$WORK/verify.out"; fail "$side: /verify does not find $n whole"; }
  done
done

# Our password holds a letter outside ASCII: WinZip AES keys are derived from its UTF-8 bytes, and
# 7-Zip reads them so in a UTF-8 locale (it writes only ASCII passwords into zip archives).
echo "== windows: a protected backup and 7-Zip"
export LC_ALL=C.UTF-8
L=$WORK/locked; mkdir -p "$L/data" "$L/7z"
LOCKED_NAMES=(history.dat custom.dat folders.dat favorites.dat)
for n in "${LOCKED_NAMES[@]}"; do cp "$SRC/$n" "$L/data/"; done
PASSWORD='right p€ss'
THEIR_PASSWORD='right pass'
printf '\xef\xbb\xbf%s\r\n' "$PASSWORD" >"$L/password.txt"
printf '%s\n' "$THEIR_PASSWORD" >"$L/their-password.txt"
reg_set() { wine reg add 'HKCU\Software\Kestrove' /v "$1" /t REG_EXPAND_SZ /d "$2" /f </dev/null >/dev/null 2>&1; }
trap 'wine reg delete "HKCU\Software\Kestrove" /f </dev/null >/dev/null 2>&1; rm -rf "$WORK"' EXIT
reg_set 'Data Path' "$(win "$L/data")"
reg_set 'Favorites Folder' "$(win "$L/data")"
backup_tool() { wine "$BACKUPTOOL" "$@" </dev/null >"$WORK/tool.out" 2>&1; }
backup_tool /backup "$(win "$L/ours.zip")" /passwordfile "$(win "$L/password.txt")" ||
  { cat "$WORK/tool.out"; fail "protected backup"; }
7zz t -p"$PASSWORD" "$L/ours.zip" >"$WORK/7z.out" 2>&1 || { cat "$WORK/7z.out"; fail "7-Zip's test of a protected backup"; }
grep -q '^Everything is Ok' "$WORK/7z.out" || { cat "$WORK/7z.out"; fail "7-Zip did not say ok"; }
! 7zz t -p'right pess' "$L/ours.zip" >"$WORK/7z.out" 2>&1 || fail "7-Zip opened a protected backup with a wrong password"
grep -q 'Wrong password' "$WORK/7z.out" || { cat "$WORK/7z.out"; fail "7-Zip names no wrong password"; }
7zz x -y -p"$PASSWORD" -o"$L/7z" "$L/ours.zip" >"$WORK/7z.out" 2>&1 || { cat "$WORK/7z.out"; fail "7-Zip's extraction"; }
for n in "${LOCKED_NAMES[@]}"; do cmp -s "$SRC/$n" "$L/7z/$n" || fail "7-Zip extracted other bytes for $n"; done
tool windows extract "$L/ours.zip" "$L" --password "$PASSWORD" settings.reg || { cat "$WORK/tool.out"; fail "our reader"; }
cmp -s "$L/settings.reg" "$L/7z/settings.reg" || fail "7-Zip and our reader disagree on settings.reg"

echo "== windows: BackupTool restores what 7-Zip encrypted"
T=$L/theirs; mkdir -p "$T"
cp "$L/7z/settings.reg" "$T/"
for n in "${LOCKED_NAMES[@]}"; do tr a-z A-Z <"$SRC/$n" >"$T/$n"; done
(cd "$T" && 7zz a -tzip -mem=AES256 -p"$THEIR_PASSWORD" "$L/7z.zip" settings.reg "${LOCKED_NAMES[@]}" >"$WORK/7z.out" 2>&1) ||
  { cat "$WORK/7z.out"; fail "7-Zip's protected archive"; }
printf '%s' "$MAGIC" | zip -q -z "$L/7z.zip" || fail "zip -z on 7-Zip's protected archive"
python3 -c 'import sys, zipfile; sys.exit(any(i.compress_type != 99 for i in zipfile.ZipFile(sys.argv[1]).infolist()))' \
  "$L/7z.zip" || fail "7-Zip wrote entries without AES"
backup_tool /verify "$(win "$L/7z.zip")" /passwordfile "$(win "$L/their-password.txt")" ||
  { cat "$WORK/tool.out"; fail "/verify of 7-Zip's protected archive"; }
backup_tool /noundo /restore "$(win "$L/7z.zip")" /passwordfile "$(win "$L/their-password.txt")" ||
  { cat "$WORK/tool.out"; fail "/restore of 7-Zip's protected archive"; }
for n in "${LOCKED_NAMES[@]}"; do cmp -s "$T/$n" "$L/data/$n" || fail "the restore of 7-Zip's archive wrote other bytes for $n"; done

echo "== native: a source of more than 4 GiB (zip64)"
BIG=$WORK/big.dat
SIZE=$((4 * 1024 * 1024 * 1024 + 4096))
truncate -s "$SIZE" "$BIG"
printf 'head' | dd of="$BIG" conv=notrunc status=none
printf 'tail' | dd of="$BIG" bs=1 seek=$((SIZE - 4)) conv=notrunc status=none
tool native write "$WORK/big.zip" --level 1 "$BIG" || { cat "$WORK/tool.out"; fail "zip64 write"; }
unzip -tq "$WORK/big.zip" >"$WORK/unzip.out" 2>&1 || { cat "$WORK/unzip.out"; fail "unzip -t on the zip64 archive"; }
python3 - "$WORK/big.zip" "$SIZE" <<'EOF' || fail "zip64 headers"
import struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
(i,) = z.infolist()
assert i.file_size == int(sys.argv[2]), i.file_size
raw = open(sys.argv[1], "rb").read(4096)
version, = struct.unpack_from("<H", raw, 4)
assert version >= 45, version
with z.open(i) as f:
    assert f.read(4) == b"head"
EOF
echo "archive interop: passed"
