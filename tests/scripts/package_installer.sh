#!/usr/bin/env bash
# The MSI under Wine: installs per user without questions, the installed exe runs and the Start-menu
# shortcut exists; version N+1 over N leaves one installed entry and the new exe; the uninstall
# removes the program and the shortcut and leaves the client's settings and a backup archive alone.
# Runs under scripts/test with WINEPREFIX, DISPLAY and a wine server already set up.
source "$(dirname "$0")/package_helpers.bash"
NEXT=${VERSION%.*}.$(( ${VERSION##*.} + 1 ))
package "$WORK/n"
package "$WORK/next" KBT_VERSION="$NEXT"
MSI=$WORK/n/KestroveBackupTool-$VERSION-x64.msi
NEXT_MSI=$WORK/next/KestroveBackupTool-$NEXT-x64.msi

PROFILE=$WINEPREFIX/drive_c/users/$(whoami)
INSTALLED=$PROFILE/AppData/Local/Programs/Kestrove\ Client\ Backup\ Tool
SHORTCUT=$PROFILE/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs/Kestrove\ Client\ Backup\ Tool.lnk
ARCHIVE=$PROFILE/Documents/kbt-installer-check.zip
cleanup() {
  wine msiexec /x "$(winepath -w "$NEXT_MSI")" /qn </dev/null >/dev/null 2>&1 || true
  wine msiexec /x "$(winepath -w "$MSI")" /qn </dev/null >/dev/null 2>&1 || true
  wine reg delete 'HKCU\Software\Kestrove' /f </dev/null >/dev/null 2>&1 || true
  rm -rf "$WORK" "$ARCHIVE"
}
trap cleanup EXIT
# "<version> <publisher>" of each installed entry named like the tool.
entries() {
  local code
  for code in $(wine_out uninstaller --list | sed -n 's/^\({[^}]*}\)|||Kestrove Client Backup Tool$/\1/p'); do
    wine_out reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code" |
      sed -n 's/^ *\(DisplayVersion\|Publisher\) *REG_SZ *//p' | paste -sd ' '
  done
}
# The version resource (UTF-16) and the manifest of an exe both name the version.
carries_version() {
  python3 - "$1" "$2.0" <<'PY'
import sys
exe, version = open(sys.argv[1], "rb").read(), sys.argv[2]
sys.exit(0 if version.encode("utf-16-le") in exe and f'version="{version}"'.encode() in exe else 1)
PY
}
msiexec() { wine msiexec "$1" "$(winepath -w "$2")" /qn </dev/null >"$WORK/msiexec.out" 2>&1; }

msiexec /i "$MSI" || fail "msiexec /i: $(cat "$WORK/msiexec.out")"
[ -f "$INSTALLED/BackupTool.exe" ] || fail "no BackupTool.exe in $INSTALLED"
[ -f "$SHORTCUT" ] || fail "no Start-menu shortcut"
[ "$(entries)" = "$VERSION Kestrove" ] || fail "installed entries after installing $VERSION: $(entries)"
for text in README.txt LIESMICH.txt LICENSE-zlib.txt; do
  [ -f "$INSTALLED/$text" ] || fail "no $text beside the installed exe"
done
# The installed-programs entry shows the program's icon (published as the product's icon) and a
# help link.
for code in $(wine_out uninstaller --list | sed -n 's/^\({[^}]*}\)|||Kestrove Client Backup Tool$/\1/p'); do
  entry=$(wine_out reg query "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$code")
  grep -q 'HelpLink *REG_SZ *https://' <<<"$entry" || fail "the installed entry has no help link: $entry"
done
icon=$(wine_out reg query 'HKCU\Software\Microsoft\Installer\Products' /s | sed -n 's/^ *ProductIcon *REG_SZ *//p')
[ -n "$icon" ] && [ -f "$(winepath -u "$icon" 2>/dev/null)" ] || fail "the installed entry has no icon: '$icon'"
out=$(run_tool_in "$INSTALLED" /language=1033 /?)
shows_usage "$out" || fail "the installed exe does not show its usage: $out"
# The client's settings and a backup the installed tool made, which the uninstall must not touch.
wine reg add 'HKCU\Software\Kestrove\Transfer' /v Retries /t REG_DWORD /d 7 /f </dev/null >/dev/null 2>&1
out=$(run_tool_in "$INSTALLED" /backup "$(winepath -w "$ARCHIVE")")
grep -q '^\[exit code\] 0$' <<<"$out" || fail "backup with the installed exe: $out"
archive_sum=$(sha256sum < "$ARCHIVE")

msiexec /i "$NEXT_MSI" || fail "msiexec /i of $NEXT over $VERSION: $(cat "$WORK/msiexec.out")"
[ "$(entries)" = "$NEXT Kestrove" ] || fail "installed entries after the upgrade: $(entries)"
unzip -p "$WORK/next/KestroveBackupTool-$NEXT-x64.zip" BackupTool.exe | cmp -s - "$INSTALLED/BackupTool.exe" ||
  fail "the upgrade did not install the new exe"
carries_version "$INSTALLED/BackupTool.exe" "$NEXT" || fail "the installed exe does not carry the version $NEXT"

msiexec /x "$NEXT_MSI" || fail "msiexec /x: $(cat "$WORK/msiexec.out")"
[ ! -e "$INSTALLED" ] || fail "left after the uninstall: $(ls -A "$INSTALLED")"
[ ! -e "$SHORTCUT" ] || fail "the shortcut is left after the uninstall"
[ -z "$(entries)" ] || fail "installed entries after the uninstall: $(entries)"
wine_out reg query 'HKCU\Software\Kestrove\Transfer' /v Retries | grep -q 'REG_DWORD *0x7$' ||
  fail "the uninstall touched the client's settings"
[ "$(sha256sum < "$ARCHIVE")" = "$archive_sum" ] || fail "the uninstall touched the backup archive"
echo "install, upgrade $VERSION -> $NEXT and uninstall: passed"
