# Shared by the benchmarks that time the tests' settingstool.exe under Wine. Sourced, not run.
# Sets TOOL, KEY and WORK, starts a Wine prefix of the benchmarks' own, and at the end removes the
# benchmark key, the prefix's server and display, and WORK.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/lib.sh"

TOOL=$BUILD_ROOT/windows/settingstool.exe
KEY='Software\Kestrove\Bench'
[ -f "$TOOL" ] || { log "building"; build_all; }
install_packages  # /usr/bin/time among them

export WINEPREFIX_OVERRIDE=$BUILD_ROOT/wine-bench
WORK=$(mktemp -d)
finish() {
  wine "$TOOL" delete "$KEY" </dev/null >/dev/null 2>&1 || true
  stop_wine
  rm -rf "$WORK"
}
trap finish EXIT
start_wine

# A host path as Wine's drive Z: names it.
win() { printf 'Z:%s' "$1" | tr / '\\'; }
