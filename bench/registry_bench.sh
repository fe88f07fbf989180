#!/usr/bin/env bash
# Reset and restore of one key with many values under Wine: our reader and DeleteAllValues /
# DeleteKeyTree (through the tests' settingstool.exe) against Wine's own "regedit /s" and
# "reg delete", on the same key and the same file, runs interleaved, at n/2 and n values.
#   KBT_BUILD_ROOT=... bench/registry_bench.sh [values] [runs]
# Defaults: 200,000 values, best of 3. Two files: values in the registry's own (sorted) order, as
# a backup made under Wine holds them, and in creation order, as one made on Windows does. Not
# part of scripts/test.
#
# Reported per step: whole-process seconds, best of the runs, and the ratio ours / Wine's tool.
# Linear: from n/2 to n at most 2.2 times.

VALUES=${1:-200000}
RUNS=${2:-3}
source "$(dirname "$0")/wine_bench_lib.sh"

quiet() { "$@" </dev/null >>"$WORK/wine.log" 2>&1 || { echo "failed: $*" >&2; tail -5 "$WORK/wine.log" >&2; exit 1; }; }

declare -A BEST  # name -> best process seconds
timed() {
  local name=$1; shift
  /usr/bin/time -f '%e' -o "$WORK/time.txt" "$@" </dev/null >>"$WORK/wine.log" 2>&1 || {
    echo "failed: $*" >&2; tail -5 "$WORK/wine.log" >&2; exit 1; }
  local seconds; seconds=$(cat "$WORK/time.txt")
  if [ -z "${BEST[$name]:-}" ] || awk "BEGIN{exit !($seconds < ${BEST[$name]})}"; then BEST[$name]=$seconds; fi
}

# A settings file of one key with n values (mixed types) in creation order: "Value 0", "Value 1", ...
make_file() {
  python3 - "$1" "$2" <<'PY'
import sys
n, out = int(sys.argv[1]), sys.argv[2]
lines = ["Windows Registry Editor Version 5.00", "", "[HKEY_CURRENT_USER\\Software\\Kestrove\\Bench\\Group 0]"]
for v in range(n):
    kind, data = [(1, ("Setting text %d\0" % v).encode("utf-16-le")), (4, (v & 0xFFFFFFFF).to_bytes(4, "little")),
                  (3, bytes((v * 7 + i) & 255 for i in range(24)))][v % 3]
    lines.append('"Value %d"=hex(%d):%s' % (v, kind, ",".join("%02x" % b for b in data)))
open(out, "wb").write(b"\xff\xfe" + ("\r\n".join(lines) + "\r\n").encode("utf-16-le"))
PY
}

run_size() {
  local n=$1 tag=$2 created="$WORK/created-$2.reg" sorted="$WORK/sorted-$2.reg"
  make_file "$n" "$created"
  quiet wine "$TOOL" delete "$KEY"
  quiet wine "$TOOL" import "$(win "$created")"
  quiet wine "$TOOL" export "$(win "$sorted")" "$KEY"
  local run order file
  for run in $(seq "$RUNS"); do
    for order in sorted created; do
      file=$sorted; [ $order = created ] && file=$created
      # Each run swaps who goes first, so neither profits from the order.
      local whos="ours wine"; [ $((run % 2)) -eq 0 ] && whos="wine ours"
      for who in $whos; do
        quiet wine "$TOOL" delete "$KEY"
        if [ $who = ours ]; then
          timed "$tag.$order.restore.ours" wine "$TOOL" import "$(win "$file")"
          timed "$tag.$order.reset.ours" wine "$TOOL" delete-values "$KEY\\Group 0"
        else
          timed "$tag.$order.restore.wine" wine regedit /s "$(win "$file")"
          timed "$tag.$order.reset.wine" wine reg delete "HKCU\\$KEY\\Group 0" /va /f
        fi
      done
    done
    for who in $whos; do
      quiet wine "$TOOL" import "$(win "$sorted")"
      if [ $who = ours ]; then timed "$tag.tree.ours" wine "$TOOL" delete "$KEY"
      else timed "$tag.tree.wine" wine reg delete "HKCU\\$KEY" /f; fi
    done
  done
}

log "$((VALUES / 2)) values"
run_size $((VALUES / 2)) half
log "$VALUES values"
run_size "$VALUES" n

calc() { awk "BEGIN{printf \"%.2f\", $1}"; }
printf '\nregistry benchmark, %s, one key, best of %s runs (seconds)\n' "$(wine --version)" "$RUNS"
printf '%-22s %9s %9s %7s   %9s %9s %7s   %s\n' step "ours n/2" "wine n/2" ratio "ours n" "wine n" ratio "growth ours / wine"
for step in sorted.restore created.restore sorted.reset created.reset tree; do
  oh=${BEST[half.$step.ours]}; wh=${BEST[half.$step.wine]}; on=${BEST[n.$step.ours]}; wn=${BEST[n.$step.wine]}
  printf '%-22s %9s %9s %7s   %9s %9s %7s   x%s / x%s\n' "$step" "$oh" "$wh" "$(calc "$oh / $wh")" "$on" "$wn" \
    "$(calc "$on / $wn")" "$(calc "$on / $oh")" "$(calc "$wn / $wh")"
done
printf 'steps: restore = "settingstool import" / "regedit /s" of the file into an absent key; reset = DeleteAllValues / "reg delete /va /f"; tree = DeleteKeyTree / "reg delete /f" of the key\n'
