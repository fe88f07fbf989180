# Shared by the package_*.sh checks: a scratch folder, the release artifacts of this tree and a way
# to run an exe of them under Wine. Sourced, not a check itself.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD_ROOT=${KBT_BUILD_ROOT:-$ROOT/build}
VERSION=$(head -n 1 "$ROOT/VERSION")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# scripts/package into a folder of the scratch folder; extra arguments are environment settings.
package() {
  local dist=$1; shift
  env "$@" KBT_DIST_DIR="$dist" "$ROOT/scripts/package" >"$WORK/package.log" 2>&1 ||
    { tail -20 "$WORK/package.log"; fail "scripts/package"; }
}

# Wine's output goes through a file: a wine server started by it would keep a pipe open.
wine_out() { wine "$@" </dev/null >"$WORK/wine.out" 2>/dev/null || true; tr -d '\r' <"$WORK/wine.out"; }

# Runs the BackupTool.exe in a folder through the test driver, which must sit beside it.
run_tool_in() {
  local folder=$1; shift
  cp "$BUILD_ROOT/windows/tooldriver.exe" "$folder/"
  wine_out "$folder/tooldriver.exe" "$@"
  rm -f "$folder/tooldriver.exe"
}
shows_usage() { grep -q '^Usage: BackupTool.exe' <<<"$1" && grep -q '^\[exit code\] 0$' <<<"$1"; }
