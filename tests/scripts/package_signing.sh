#!/usr/bin/env bash
# Signing with a throwaway self-signed certificate: osslsigncode accepts the Authenticode signature of
# the exe in the portable zip and of the MSI, and the signed exe still runs.
# Runs under scripts/test with WINEPREFIX, DISPLAY and a wine server already set up.
source "$(dirname "$0")/package_helpers.bash"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$WORK/key.pem" -out "$WORK/cert.pem" -days 2 \
  -subj "/CN=Kestrove throwaway test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$WORK/key.pem" -in "$WORK/cert.pem" -out "$WORK/signer.pfx" -passout pass:throwaway
package "$WORK/dist" KBT_SIGN_PFX="$WORK/signer.pfx" KBT_SIGN_PASSWORD=throwaway

mkdir "$WORK/tool"
unzip -q "$WORK/dist/KestroveBackupTool-$VERSION-x64.zip" BackupTool.exe -d "$WORK/tool"
# The certificate itself is the trusted root here: a real one would chain to a public root.
for file in "$WORK/tool/BackupTool.exe" "$WORK/dist/KestroveBackupTool-$VERSION-x64.msi"; do
  osslsigncode verify -CAfile "$WORK/cert.pem" -in "$file" >"$WORK/verify.out" 2>&1 ||
    { cat "$WORK/verify.out"; fail "osslsigncode verify $(basename "$file")"; }
  grep -q 'Kestrove throwaway test signer' "$WORK/verify.out" || fail "$(basename "$file") is not signed by the test signer"
done
out=$(run_tool_in "$WORK/tool" /language=1033 /?)
shows_usage "$out" || fail "the signed exe does not show its usage: $out"
echo "signed exe and MSI verified; the signed exe runs"
