#!/usr/bin/env bash
# Settings file benchmark under Wine: a synthetic client tree exported and imported by our writer
# and reader (the tests' settingstool.exe) and by Wine's registry editor, in the same run, on the
# same tree and the same file, runs interleaved (and their order swapped from run to run) so that
# both see the same machine load.
#   KBT_BUILD_ROOT=... bench/settings_bench.sh [keys] [values-per-key] [runs]
# Defaults: 2000 keys in three levels, 20 values each (mixed types), best of 3 runs; then the same
# with the doubled tree to show the growth. Not part of scripts/test.
#
# Reported per step: whole-process seconds of both programs; "net" seconds, which leave out the
# process start (ours: measured inside the process around the writer or reader; regedit: its time
# minus the best time of importing an empty file); the ratio ours / regedit of each; and the peak
# resident memory of each process (/usr/bin/time). The tool's own start costs more than regedit's
# because it loads shlwapi (and with it user32) which regedit loads later; BackupTool.exe has those
# loaded anyway, so the net ratio is the one that speaks for the product.

KEYS=${1:-2000}
VALUES=${2:-20}
RUNS=${3:-3}
REGEDIT='C:\windows\regedit.exe'
source "$(dirname "$0")/wine_bench_lib.sh"

quiet() { "$@" </dev/null >>"$WORK/wine.log" 2>&1; }
export KBT_TIMING_FILE
KBT_TIMING_FILE=$(win "$WORK/inside.txt")

declare -A BEST    # name -> "process-seconds peak-KiB"
declare -A INSIDE  # name -> best seconds measured inside our process
# timed <name> <command...>: one run; keeps the best process time (with its peak) and inside time.
timed() {
  local name=$1; shift
  rm -f "$WORK/inside.txt"
  /usr/bin/time -f '%e %M' -o "$WORK/time.txt" "$@" </dev/null >>"$WORK/wine.log" 2>&1 || {
    echo "failed: $*" >&2; tail -5 "$WORK/wine.log" >&2; exit 1; }
  local seconds kib; read -r seconds kib <"$WORK/time.txt"
  if [ -z "${BEST[$name]:-}" ] || awk "BEGIN{exit !($seconds < ${BEST[$name]%% *})}"; then
    BEST[$name]="$seconds $kib"
  fi
  if [ -f "$WORK/inside.txt" ]; then
    local inside; inside=$(tail -1 "$WORK/inside.txt")
    if [ -z "${INSIDE[$name]:-}" ] || awk "BEGIN{exit !($inside < ${INSIDE[$name]})}"; then INSIDE[$name]=$inside; fi
  fi
}
clear_key() { quiet wine "$TOOL" delete "$KEY"; }

# The registry editor's start: importing a file that holds only the header.
printf '\xff\xfeW\0i\0n\0d\0o\0w\0s\0 \0R\0e\0g\0i\0s\0t\0r\0y\0 \0E\0d\0i\0t\0o\0r\0 \0V\0e\0r\0s\0i\0o\0n\0 \0005\0.\0000\0\r\0\n\0' \
  >"$WORK/empty.reg"
for _ in $(seq "$RUNS"); do timed regedit.start wine "$REGEDIT" /s "$(win "$WORK/empty.reg")"; done

run_size() {
  local keys=$1 tag=$2
  local ours="$WORK/ours-$tag.reg" theirs="$WORK/theirs-$tag.reg"
  clear_key
  quiet wine "$TOOL" seed-bench "$KEY" "$keys" "$VALUES" || { echo "seeding failed"; exit 1; }
  # Each run swaps who goes first, so neither profits from the order.
  local run
  for run in $(seq "$RUNS"); do
    local first=ours second=regedit
    [ $((run % 2)) -eq 0 ] && { first=regedit; second=ours; }
    for who in $first $second; do
      if [ $who = ours ]; then
        timed "$tag.export.ours" wine "$TOOL" export "$(win "$ours")" "$KEY"
      else
        timed "$tag.export.regedit" wine "$REGEDIT" /e "$(win "$theirs")" "HKEY_CURRENT_USER\\$KEY"
      fi
    done
  done
  quiet wine "$TOOL" dump "$KEY" "$(win "$WORK/seeded-$tag.txt")"
  for run in $(seq "$RUNS"); do
    local first=ours second=regedit
    [ $((run % 2)) -eq 0 ] && { first=regedit; second=ours; }
    for who in $first $second; do
      clear_key
      if [ $who = ours ]; then
        timed "$tag.import.ours" wine "$TOOL" import "$(win "$ours")"
      else
        timed "$tag.import.regedit" wine "$REGEDIT" /s "$(win "$ours")"
      fi
    done
  done
  # Both imports must have restored the whole tree.
  quiet wine "$TOOL" dump "$KEY" "$(win "$WORK/regedit-$tag.txt")"
  clear_key; quiet wine "$TOOL" import "$(win "$ours")"
  quiet wine "$TOOL" dump "$KEY" "$(win "$WORK/ours-$tag.txt")"
  cmp -s "$WORK/seeded-$tag.txt" "$WORK/ours-$tag.txt" || { echo "our import differs from the tree"; exit 1; }
  cmp -s "$WORK/seeded-$tag.txt" "$WORK/regedit-$tag.txt" || { echo "regedit's import differs from the tree"; exit 1; }
  FILE_SIZE[$tag]=$(stat -c %s "$ours")
  VALUE_COUNT[$tag]=$(grep -c '^V' "$WORK/seeded-$tag.txt")
}
declare -A FILE_SIZE VALUE_COUNT

log "tree of $KEYS keys x $VALUES values"
run_size "$KEYS" n
log "tree of $((2 * KEYS)) keys x $VALUES values"
run_size "$((2 * KEYS))" 2n

sec() { echo "${BEST[$1]%% *}"; }
mib() { awk "BEGIN{printf \"%.1f\", ${BEST[$1]##* } / 1024}"; }
calc() { awk "BEGIN{printf \"%.2f\", $1}"; }
start=$(sec regedit.start)

printf '\nsettings benchmark, %s, best of %s runs, regedit start %s s\n' "$(wine --version)" "$RUNS" "$start"
for tag in n 2n; do
  printf '\n%s keys x %s values = %s values, file %s bytes\n' "$([ $tag = n ] && echo "$KEYS" || echo $((2 * KEYS)))" \
    "$VALUES" "${VALUE_COUNT[$tag]}" "${FILE_SIZE[$tag]}"
  printf '%-7s %9s %9s %7s   %9s %9s %7s   %9s %9s\n' step "ours s" "regedit s" ratio "ours net" "reg net" ratio \
    "ours MiB" "reg MiB"
  for step in export import; do
    o=$(sec $tag.$step.ours); r=$(sec $tag.$step.regedit)
    on=${INSIDE[$tag.$step.ours]}; rn=$(calc "$r - $start")
    printf '%-7s %9s %9s %7s   %9s %9s %7s   %9s %9s\n' "$step" "$o" "$r" "$(calc "$o / $r")" \
      "$on" "$rn" "$(calc "$on / $rn")" "$(mib $tag.$step.ours)" "$(mib $tag.$step.regedit)"
  done
done
printf '\ngrowth from n to 2n (linear: at most 2.2)\n'
for step in export import; do
  printf '%-7s ours net x%s   regedit net x%s   ours peak %s -> %s MiB\n' "$step" \
    "$(calc "${INSIDE[2n.$step.ours]} / ${INSIDE[n.$step.ours]}")" \
    "$(calc "($(sec 2n.$step.regedit) - $start) / ($(sec n.$step.regedit) - $start)")" \
    "$(mib n.$step.ours)" "$(mib 2n.$step.ours)"
done
