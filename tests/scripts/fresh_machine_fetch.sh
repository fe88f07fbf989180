#!/usr/bin/env bash
# The first source fetch on a fresh machine: HOME an empty folder, no cache folder yet. (The fetch
# takes a few seconds: it downloads only the zlib source package.)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/home"
env -u XDG_CACHE_HOME -u KBT_CACHE_DIR HOME="$WORK/home" \
  bash -c 'source "$1/scripts/lib.sh"; fetch_minizip' _ "$ROOT"
CACHE=$WORK/home/.cache/kestrove-backup-tool
for file in minizip/iowin32.c minizip/zip.c minizip/unzip.c zlib/deflate.c zlib/zlib.h; do
  [ -s "$CACHE/$file" ] || { echo "FAIL: no $file in $CACHE"; exit 1; }
done
echo "fetched into a cache folder that did not exist"
