#!/usr/bin/env bash
# Archive benchmark: our writer and reader (tests' archivetool, natively and under Wine) against
# Info-ZIP `zip -6` and `unzip` on the same files in the same run. Prints times, ratios
# (ours / Info-ZIP, Wine / native) and peak memory, and the memory of a tenth of the data set,
# which must be the same if the layer streams. Not part of scripts/test.
#   KBT_BUILD_ROOT=... bench/archive_bench.sh [MiB] [runs]
# Defaults: a 200 MiB file of mixed compressibility (about 3:1) plus five small files, best of 3.
source "$(dirname "$0")/../scripts/lib.sh"

MIB=${1:-200}
RUNS=${2:-3}
NATIVE=$BUILD_ROOT/native/archivetool
WINDOWS=$BUILD_ROOT/windows/archivetool.exe
GENERATOR=$BUILD_ROOT/native/archive_bench_data
if [ ! -x "$NATIVE" ] || [ ! -f "$WINDOWS" ] || [ ! -x "$GENERATOR" ]; then log "building"; build_all; fi
install_packages  # /usr/bin/time among them

export WINEPREFIX_OVERRIDE=$BUILD_ROOT/wine-bench
WORK=$(mktemp -d)
finish() {
  stop_wine
  rm -rf "$WORK"
}
trap finish EXIT
start_wine

win() { printf 'Z:%s' "$1" | tr / '\\'; }
NAMES=(big.dat settings.reg history.dat custom.dat folders.dat favorites.dat)

# Runs a command RUNS times after 'prepare'; prints "<seconds> <peak KiB> <inner seconds> <CPU seconds>"
# of the run with the best inner time: the one the tool reports itself (elapsed_ms=), without Wine's
# start-up, else the wall time. CPU seconds (user + system) are less disturbed by other load.
measure() {
  local prepare=$1; shift
  local best="" peak="" inner="" cpu=""
  for _ in $(seq "$RUNS"); do
    $prepare
    /usr/bin/time -f '%e %M %U %S' -o "$WORK/time.txt" "$@" </dev/null >"$WORK/out.txt" 2>&1 || {
      echo "failed: $*" >&2; tail -5 "$WORK/out.txt" >&2; exit 1; }
    local seconds kib user system ms own
    read -r seconds kib user system <"$WORK/time.txt"
    ms=$(sed -n 's/^elapsed_ms=//p' "$WORK/out.txt" | tr -d '\r')
    own=$([ -n "$ms" ] && awk "BEGIN{printf \"%.2f\", $ms / 1000}" || echo "$seconds")
    if [ -z "$inner" ] || awk "BEGIN{exit !($own < $inner)}"; then
      best=$seconds; peak=$kib; inner=$own; cpu=$(awk "BEGIN{printf \"%.2f\", $user + $system}")
    fi
  done
  echo "$best $peak $inner $cpu"
}

declare -A R
run_set() {
  local tag=$1 mib=$2
  local data=$WORK/data-$tag
  mkdir -p "$data"
  "$GENERATOR" "$data" "$mib"
  local files=() wfiles=()
  for n in "${NAMES[@]}"; do files+=("$data/$n"); wfiles+=("$(win "$data/$n")"); done
  cat "${files[@]}" >/dev/null  # warm the page cache

  local out=$WORK/out-$tag; mkdir -p "$out"
  clean_archives() { rm -f "$WORK"/*.zip; }
  clean_out() { rm -rf "$out"; mkdir -p "$out"; }

  R[$tag.zip]=$(measure clean_archives zip -q -6 -j "$WORK/infozip.zip" "${files[@]}")
  R[$tag.ours]=$(measure clean_archives "$NATIVE" write "$WORK/ours.zip" --time "${files[@]}")
  R[$tag.wine]=$(measure clean_archives wine "$WINDOWS" write "$(win "$WORK/ours.zip")" --time "${wfiles[@]}")
  # Readers read the archives of their own writers (the data is the same).
  zip -q -6 -j "$WORK/infozip.zip" "${files[@]}"
  "$NATIVE" write "$WORK/ours.zip" "${files[@]}"
  R[$tag.unzip]=$(measure clean_out unzip -q -o "$WORK/infozip.zip" -d "$out")
  R[$tag.oursread]=$(measure clean_out "$NATIVE" extract "$WORK/ours.zip" "$out" --time "${NAMES[@]}")
  cmp "$out/big.dat" "$data/big.dat" || { echo "our reader returned other bytes"; exit 1; }
  R[$tag.wineread]=$(measure clean_out wine "$WINDOWS" extract "$(win "$WORK/ours.zip")" "$(win "$out")" --time "${NAMES[@]}")
  cmp "$out/big.dat" "$data/big.dat" || { echo "our reader under Wine returned other bytes"; exit 1; }
  R[$tag.ratio]=$(awk -v a="$(stat -c %s "${files[@]}" | awk '{s += $1} END {print s}')" \
    -v b="$(stat -c %s "$WORK/ours.zip")" 'BEGIN{printf "%.2f", a / b}')
  rm -rf "$data" "$out" "$WORK"/*.zip
}

field() { echo "${R[$1]}" | cut -d' ' -f"$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a / b}'; }

log "data set of $MIB MiB"
run_set full "$MIB"
log "data set of $((MIB / 10)) MiB (memory growth)"
run_set tenth $((MIB / 10))

echo
echo "archive benchmark: ${MIB} MiB file + 5 small files, compression $(field full.ratio 1):1 by our writer, best of $RUNS"
printf '%-34s %9s %9s %9s %11s %11s\n' "" "seconds" "own s" "CPU s" "peak KiB" "peak 1/10"
for key in zip ours wine unzip oursread wineread; do
  case $key in
    zip) label="Info-ZIP zip -6";; ours) label="our writer (native)";; wine) label="our writer (Wine)";;
    unzip) label="Info-ZIP unzip";; oursread) label="our reader (native)";; wineread) label="our reader (Wine)";;
  esac
  printf '%-34s %9s %9s %9s %11s %11s\n' "$label" "$(field full.$key 1)" "$(field full.$key 3)" \
    "$(field full.$key 4)" "$(field full.$key 2)" "$(field tenth.$key 2)"
done
echo
both() { echo "$(ratio "$(field "$1" 3)" "$(field "$2" 3)") (CPU $(ratio "$(field "$1" 4)" "$(field "$2" 4)"))"; }
echo "writer / zip -6 (native):       $(both full.ours full.zip)   (goal <= 1.05; engineering goal <= 0.85)"
echo "reader / unzip (native):        $(both full.oursread full.unzip)   (goal <= 1.05; engineering goal <= 0.60)"
echo "writer Wine / native (own):     $(both full.wine full.ours)   (goal <= 1.05)"
echo "reader Wine / native (own):     $(both full.wineread full.oursread)   (goal <= 1.15)"
echo "writer Wine / zip -6 (wall):    $(ratio "$(field full.wine 1)" "$(field full.zip 1)")"
echo "peak memory full / tenth:       writer $(ratio "$(field full.ours 2)" "$(field tenth.ours 2)")," \
  "reader $(ratio "$(field full.oursread 2)" "$(field tenth.oursread 2)")," \
  "Wine writer $(ratio "$(field full.wine 2)" "$(field tenth.wine 2)")," \
  "Wine reader $(ratio "$(field full.wineread 2)" "$(field tenth.wineread 2)")   (flat: about 1.00)"
