#!/usr/bin/env bash
# The portable zip passes `unzip -t` and holds exactly the stripped exe, the English and German
# READMEs and the zlib licence; SHA256SUMS matches both artifacts.
source "$(dirname "$0")/package_helpers.bash"
package "$WORK/dist"
cd "$WORK/dist"
ZIP=KestroveBackupTool-$VERSION-x64.zip
unzip -tq "$ZIP" >/dev/null || fail "unzip -t refuses $ZIP"
[ "$(zipinfo -1 "$ZIP" | sort | paste -sd ' ')" = "BackupTool.exe LICENSE-zlib.txt LIESMICH.txt README.txt" ] ||
  fail "$ZIP holds: $(zipinfo -1 "$ZIP" | paste -sd ' ')"
unzip -q "$ZIP" BackupTool.exe -d "$WORK/tool"
[ -z "$(x86_64-w64-mingw32-nm "$WORK/tool/BackupTool.exe" 2>/dev/null)" ] || fail "the exe still has symbols"
sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match"
[ "$(wc -l < SHA256SUMS)" -eq 2 ] || fail "SHA256SUMS: $(cat SHA256SUMS)"
echo "portable zip and checksums: passed"
