#!/usr/bin/env bash
# Signing, as the build does it when given a certificate: with one made here
# and thrown away, the programs, the installer and the uninstaller it writes
# all carry a signature that verifies against that certificate; the build
# made without one has none.
#   signing_test.sh SIGN.SH APP.EXE CLI.EXE SETUP.EXE UNINSTALL.EXE MAKENSIS MAKENSIS-ARGS... NSI
set -euo pipefail
sign=$1 app=$2 cli=$3 setup=$4 uninstaller=$5 makensis=$6
shift 6
args=("${@:1:$#-1}") nsi=${!#}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
verified() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1; }

for exe in "$app" "$cli" "$setup" "$uninstaller"; do
  ! osslsigncode extract-signature -in "$exe" -out "$work/sig" >/dev/null 2>&1 ||
    fail "$(basename "$exe") is signed in a build without a certificate"
done

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Veltrane test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
printf 'a password' >"$work/password"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout file:"$work/password" \
  -out "$work/cert.pfx"

cp "$app" "$cli" "$work/"
bash "$sign" "$work/cert.pfx" "$work/password" "$work/$(basename "$app")"
bash "$sign" "$work/cert.pfx" "$work/password" "$work/$(basename "$cli")"
"$makensis" "${args[@]}" "-DSIGN=bash $sign $work/cert.pfx $work/password" -DAPP_EXE="$work/$(basename "$app")" \
  -DCLI_EXE="$work/$(basename "$cli")" -DUNINSTALLER_COPY="$work/uninstall.exe" -DOUTFILE="$work/setup.exe" "$nsi" \
  >"$work/makensis.log" 2>&1 || { cat "$work/makensis.log"; fail "makensis failed"; }
for exe in "$work/$(basename "$app")" "$work/$(basename "$cli")" "$work/setup.exe" "$work/uninstall.exe"; do
  verified "$exe" || { cat "$work/verify.log"; fail "$(basename "$exe") doesn't verify"; }
  grep -q 'Veltrane test signer' "$work/verify.log" || fail "$(basename "$exe") is signed by someone else"
done
# A signed program changed afterwards no longer verifies.
printf 'x' | dd of="$work/$(basename "$cli")" bs=1 seek=4096 conv=notrunc 2>/dev/null
! verified "$work/$(basename "$cli")" || fail "a changed program still verifies"
echo "4 signed files verified"
