#!/usr/bin/env bash
# Full backup and full restore of a client profile with large data files: BackupTool.exe under Wine
# and the operations natively, against Info-ZIP `zip -6` and `unzip` on the same files in the same
# run. Prints times, ratios, peak memory, and the archive's size against the same files deflated by
# zlib at level 6 (Python's zipfile); and a protected backup and its restore against the plain ones.
# Not part of scripts/test.
#   KBT_BUILD_ROOT=... bench/operations_bench.sh [MiB] [runs]
source "$(dirname "$0")/../scripts/lib.sh"

MIB=${1:-200}
RUNS=${2:-3}
NATIVE=$BUILD_ROOT/native/operations_native_bench
GENERATOR=$BUILD_ROOT/native/archive_bench_data
TOOL=$BUILD_ROOT/windows/BackupTool.exe
if [ ! -x "$NATIVE" ] || [ ! -x "$GENERATOR" ] || [ ! -f "$TOOL" ]; then log "building"; build_all; fi
install_packages  # /usr/bin/time among them

export WINEPREFIX_OVERRIDE=$BUILD_ROOT/wine-bench
WORK=$(mktemp -d)
finish() {
  wine reg delete 'HKCU\Software\Kestrove' /f </dev/null >/dev/null 2>&1 || true
  stop_wine
  rm -rf "$WORK"
}
trap finish EXIT
start_wine
win() { printf 'Z:%s' "$1" | tr / '\\'; }

# The profile: the big file as the history, the generator's small files as the other data files.
PROFILE=$WORK/profile
mkdir -p "$PROFILE" "$WORK/gen"
"$GENERATOR" "$WORK/gen" "$MIB"
mv "$WORK/gen/big.dat" "$PROFILE/history.dat"
for name in custom.dat folders.dat favorites.dat; do mv "$WORK/gen/$name" "$PROFILE/$name"; done
FILES=("$PROFILE"/*.dat)
cat "${FILES[@]}" >/dev/null
wine reg add 'HKCU\Software\Kestrove' /v 'Data Path' /t REG_EXPAND_SZ /d "$(win "$PROFILE")" /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Kestrove' /v 'Favorites Folder' /t REG_EXPAND_SZ /d "$(win "$PROFILE")" /f </dev/null >/dev/null 2>&1

# One timed run of a command after 'prepare'; BEST and PEAK keep the fastest run of each key. The
# tools take turns run by run, so that a burst of other load on the machine meets all of them.
declare -A BEST PEAK
run_once() {
  local key=$1 prepare=$2; shift 2
  $prepare
  /usr/bin/time -f '%e %M' -o "$WORK/time.txt" "$@" </dev/null >"$WORK/out.txt" 2>&1 || {
    echo "failed: $*" >&2; tail -5 "$WORK/out.txt" >&2; exit 1; }
  local seconds kib; read -r seconds kib <"$WORK/time.txt"
  if [ -z "${BEST[$key]:-}" ] || awk "BEGIN{exit !($seconds < ${BEST[$key]})}"; then
    BEST[$key]=$seconds; PEAK[$key]=$kib
  fi
}
clean_archives() { rm -f "$WORK"/*.zip; }
RESTORED=$WORK/restored
clean_restored() { rm -rf "$RESTORED"; mkdir -p "$RESTORED"; }

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
python3 - "$WORK/zlib6.ref" "${FILES[@]}" <<'EOF'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for path in sys.argv[2:]:
        z.write(path, os.path.basename(path))
EOF
PASSWORD='bench päss'
printf '%s\n' "$PASSWORD" >"$WORK/password.txt"
PASSWORD_FILE=$(win "$WORK/password.txt")
for _ in $(seq "$RUNS"); do
  run_once zip clean_archives zip -q -6 -j "$WORK/infozip.zip" "${FILES[@]}"
  run_once nat_b clean_archives "$NATIVE" backup "$PROFILE" "$WORK/native.zip"
  run_once nat_bp clean_archives "$NATIVE" backup "$PROFILE" "$WORK/native-p.zip" "$PASSWORD"
  run_once wine_b clean_archives wine "$TOOL" /backup "$(win "$WORK/wine.zip")"
  run_once wine_bp clean_archives wine "$TOOL" /backup "$(win "$WORK/wine-p.zip")" /passwordfile "$PASSWORD_FILE"
done
zip -q -6 -j "$WORK/infozip.zip" "${FILES[@]}"
"$NATIVE" backup "$PROFILE" "$WORK/native.zip" >/dev/null
"$NATIVE" backup "$PROFILE" "$WORK/native-p.zip" "$PASSWORD" >/dev/null
wine "$TOOL" /backup "$(win "$WORK/wine.zip")" </dev/null >/dev/null 2>&1
wine "$TOOL" /backup "$(win "$WORK/wine-p.zip")" /passwordfile "$PASSWORD_FILE" </dev/null >/dev/null 2>&1
seed_folders() {
  wine reg add 'HKCU\Software\Kestrove' /v 'Data Path' /t REG_EXPAND_SZ /d "$(win "$PROFILE")" /f </dev/null >/dev/null 2>&1
  wine reg add 'HKCU\Software\Kestrove' /v 'Favorites Folder' /t REG_EXPAND_SZ /d "$(win "$PROFILE")" /f </dev/null >/dev/null 2>&1
}
restored_profile() { seed_folders; wine "$TOOL" /noundo /restore "$(win "$WORK/wine.zip")" </dev/null >/dev/null 2>&1; }
reset_profile() { restored_profile; wine "$TOOL" /reset </dev/null >/dev/null 2>&1; }
for _ in $(seq "$RUNS"); do
  run_once unzip clean_restored unzip -q -o "$WORK/infozip.zip" -d "$RESTORED"
  run_once nat_r clean_restored "$NATIVE" restore "$WORK/native.zip" "$RESTORED"
  cmp "$RESTORED/history.dat" "$PROFILE/history.dat" || { echo "the native restore returned other bytes"; exit 1; }
  run_once nat_rp clean_restored "$NATIVE" restore "$WORK/native-p.zip" "$RESTORED" "$PASSWORD"
  cmp "$RESTORED/history.dat" "$PROFILE/history.dat" || { echo "the protected restore returned other bytes"; exit 1; }
  # Under Wine the restore writes back into the profile's own folder, as a real restore does; each
  # changing operation also runs with /noundo, to show what its undo point costs.
  run_once wine_r true wine "$TOOL" /restore "$(win "$WORK/wine.zip")"
  run_once wine_r0 true wine "$TOOL" /noundo /restore "$(win "$WORK/wine.zip")"
  run_once wine_rp true wine "$TOOL" /restore "$(win "$WORK/wine-p.zip")" /passwordfile "$PASSWORD_FILE"
  run_once wine_reset restored_profile wine "$TOOL" /reset
  run_once wine_reset0 restored_profile wine "$TOOL" /noundo /reset
  # An undo of a reset puts the whole profile back.
  run_once wine_undo reset_profile wine "$TOOL" /undo
  run_once wine_undo0 reset_profile wine "$TOOL" /noundo /undo
  cmp "$PROFILE/history.dat" "$RESTORED/history.dat" || { echo "the undo returned other bytes"; exit 1; }
done
zip_b="${BEST[zip]} ${PEAK[zip]}"; nat_b="${BEST[nat_b]} ${PEAK[nat_b]}"; wine_b="${BEST[wine_b]} ${PEAK[wine_b]}"
unzip_r="${BEST[unzip]} ${PEAK[unzip]}"; nat_r="${BEST[nat_r]} ${PEAK[nat_r]}"; wine_r="${BEST[wine_r]} ${PEAK[wine_r]}"
wine_r0="${BEST[wine_r0]} ${PEAK[wine_r0]}"
nat_bp="${BEST[nat_bp]} ${PEAK[nat_bp]}"; wine_bp="${BEST[wine_bp]} ${PEAK[wine_bp]}"
nat_rp="${BEST[nat_rp]} ${PEAK[nat_rp]}"; wine_rp="${BEST[wine_rp]} ${PEAK[wine_rp]}"
wine_reset="${BEST[wine_reset]} ${PEAK[wine_reset]}"; wine_reset0="${BEST[wine_reset0]} ${PEAK[wine_reset0]}"
wine_undo="${BEST[wine_undo]} ${PEAK[wine_undo]}"; wine_undo0="${BEST[wine_undo0]} ${PEAK[wine_undo0]}"

f() { echo "$1" | cut -d' ' -f"$2"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a / b}'; }
echo
echo "full backup and restore: ${MIB} MiB history plus small data files, best of $RUNS"
echo "$(nproc) cores; load average before the runs $LOAD_BEFORE, after $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-32s %9s %11s\n' "" "seconds" "peak KiB"
printf '%-32s %9s %11s\n' "Info-ZIP zip -6" "$(f "$zip_b" 1)" "$(f "$zip_b" 2)"
printf '%-32s %9s %11s\n' "backup, native operations" "$(f "$nat_b" 1)" "$(f "$nat_b" 2)"
printf '%-32s %9s %11s\n' "BackupTool /backup under Wine" "$(f "$wine_b" 1)" "$(f "$wine_b" 2)"
printf '%-32s %9s %11s\n' "  protected, native operations" "$(f "$nat_bp" 1)" "$(f "$nat_bp" 2)"
printf '%-32s %9s %11s\n' "  protected, under Wine" "$(f "$wine_bp" 1)" "$(f "$wine_bp" 2)"
printf '%-32s %9s %11s\n' "Info-ZIP unzip" "$(f "$unzip_r" 1)" "$(f "$unzip_r" 2)"
printf '%-32s %9s %11s\n' "restore, native operations" "$(f "$nat_r" 1)" "$(f "$nat_r" 2)"
printf '%-32s %9s %11s\n' "BackupTool /restore under Wine" "$(f "$wine_r" 1)" "$(f "$wine_r" 2)"
printf '%-32s %9s %11s\n' "  the same with /noundo" "$(f "$wine_r0" 1)" "$(f "$wine_r0" 2)"
printf '%-32s %9s %11s\n' "  protected, native operations" "$(f "$nat_rp" 1)" "$(f "$nat_rp" 2)"
printf '%-32s %9s %11s\n' "  protected, under Wine" "$(f "$wine_rp" 1)" "$(f "$wine_rp" 2)"
printf '%-32s %9s %11s\n' "BackupTool /reset under Wine" "$(f "$wine_reset" 1)" "$(f "$wine_reset" 2)"
printf '%-32s %9s %11s\n' "  the same with /noundo" "$(f "$wine_reset0" 1)" "$(f "$wine_reset0" 2)"
printf '%-32s %9s %11s\n' "BackupTool /undo of a reset" "$(f "$wine_undo" 1)" "$(f "$wine_undo" 2)"
printf '%-32s %9s %11s\n' "  the same with /noundo" "$(f "$wine_undo0" 1)" "$(f "$wine_undo0" 2)"
echo
echo "backup native / zip -6:    $(ratio "$(f "$nat_b" 1)" "$(f "$zip_b" 1)")"
echo "backup Wine / zip -6:      $(ratio "$(f "$wine_b" 1)" "$(f "$zip_b" 1)")"
echo "restore native / unzip:    $(ratio "$(f "$nat_r" 1)" "$(f "$unzip_r" 1)")"
echo "restore Wine / unzip:      $(ratio "$(f "$wine_r" 1)" "$(f "$unzip_r" 1)")"
echo "restore, undo point / none: $(ratio "$(f "$wine_r" 1)" "$(f "$wine_r0" 1)")"
echo "reset, undo point / none:   $(ratio "$(f "$wine_reset" 1)" "$(f "$wine_reset0" 1)")"
echo "undo, undo point / none:    $(ratio "$(f "$wine_undo" 1)" "$(f "$wine_undo0" 1)")"
echo "protected / plain backup, native: $(ratio "$(f "$nat_bp" 1)" "$(f "$nat_b" 1)")   (goal <= 1.2)"
echo "protected / plain backup, Wine:   $(ratio "$(f "$wine_bp" 1)" "$(f "$wine_b" 1)")   (goal <= 1.2)"
echo "protected / plain restore, native: $(ratio "$(f "$nat_rp" 1)" "$(f "$nat_r" 1)")   (goal <= 1.2)"
echo "protected / plain restore, Wine:   $(ratio "$(f "$wine_rp" 1)" "$(f "$wine_r" 1)")   (goal <= 1.2)"
size() { stat -c %s "$1"; }
echo
printf '%-32s %12s\n' "archive bytes: zlib level 6" "$(size "$WORK/zlib6.ref")"
printf '%-32s %12s\n' "Info-ZIP zip -6" "$(size "$WORK/infozip.zip")"
printf '%-32s %12s\n' "native backup" "$(size "$WORK/native.zip")"
printf '%-32s %12s\n' "BackupTool /backup under Wine" "$(size "$WORK/wine.zip")"
echo "native size / zlib level 6: $(awk -v a="$(size "$WORK/native.zip")" -v b="$(size "$WORK/zlib6.ref")" 'BEGIN{printf "%.4f", a / b}')"
echo "Wine size / zlib level 6:   $(awk -v a="$(size "$WORK/wine.zip")" -v b="$(size "$WORK/zlib6.ref")" 'BEGIN{printf "%.4f", a / b}')"
