#!/usr/bin/env bash
# Two builds of the same tree in different folders give a byte-identical BackupTool.exe: the one of
# scripts/build, and one from a copy of the sources elsewhere (about a minute and a half on 2 cores).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/elsewhere"
(cd "$ROOT" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$WORK/elsewhere")
bash -c 'source "$1/scripts/lib.sh"; configure_windows "$2"; cmake --build "$2" --target BackupTool >/dev/null' \
  _ "$WORK/elsewhere" "$WORK/elsewhere-build"
cmp "$BUILD_ROOT/windows/BackupTool.exe" "$WORK/elsewhere-build/BackupTool.exe" ||
  { echo "FAIL: BackupTool.exe differs between $BUILD_ROOT/windows and a build from another folder"; exit 1; }
echo "BackupTool.exe is byte-identical from another source and build folder"
