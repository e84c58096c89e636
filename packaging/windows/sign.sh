#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (SHA-256), so that
# Windows names its publisher instead of "Unknown publisher":
#   sign.sh CERTIFICATE.pfx PASSWORD-FILE [TIMESTAMP-URL] FILE.exe
# The password is read from its file, never from the command line. Without a
# time stamp a signature is trusted only while the certificate is valid.
set -euo pipefail
pkcs12=$1 password=$2
shift 2
timestamp=()
if [ $# -gt 1 ]; then
  [ -z "$1" ] || timestamp=(-ts "$1")
  shift
fi
file=$1
osslsigncode sign -pkcs12 "$pkcs12" -readpass "$password" -h sha256 -n Veltrane -i https://veltrane.org \
  "${timestamp[@]}" -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
