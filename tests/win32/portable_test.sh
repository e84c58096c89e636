#!/usr/bin/env bash
# The portable copy, as a user takes it to a USB stick: unpacked into a
# folder whose path has spaces and letters outside ASCII, the window program
# encrypts a file and veltrane-cli.exe decrypts it to the same bytes, and the
# registry is afterwards as it was before.
#   portable_test.sh PORTABLE.ZIP WINE-LOADER
set -euo pipefail
zip=$1 loader=$2
: "${WINEPREFIX:?}"
fail() {
  echo "FAIL: $*"
  import -window root "$work/../veltrane-portable-test.png" 2>/dev/null || true
  exit 1
}
. "$(dirname "$0")/own_display.sh"
own_display 1024x768
window_manager
"$loader" cmd /c exit >/dev/null 2>&1 </dev/null || true

# The user's and the machine's settings, but for Wine's own, which it keeps
# up to date itself (its window positions, its device list).
registry() {
  local hive
  for hive in HKCU HKLM\\Software; do
    rm -f "$work/hive.reg"
    "$loader" reg export "$hive" "$work/hive.reg" /y >/dev/null 2>&1 </dev/null || fail "reg export $hive failed"
    iconv -f UTF-16 -t UTF-8 "$work/hive.reg" | tr -d '\r' |
      awk '/^\[/ { skip = ($0 ~ /\\Wine(\\|\])/) } !skip'
  done
}
registry >"$work/before"

stick="$WINEPREFIX/drive_c/USB Stick ä/Vélträne Ω"
mkdir -p "$stick"
python3 -m zipfile -e "$zip" "$stick"
dir="$stick/Veltrane"
for f in veltrane.exe veltrane-cli.exe ReadMe.txt LICENSE.txt; do
  [ -f "$dir/$f" ] || fail "$f is not in the portable copy"
done

head -c 50000 /dev/urandom >"$work/data"
cp "$work/data" "$work/plain"
head -c 50000 /dev/urandom >"$work/key"
# Started from a file, the window has it in its file field and the keyboard
# in the key field: then Tab to the offset, the check box, Encrypt.
(cd "$work" && exec "$loader" "$dir/veltrane.exe" "$work/data" >/dev/null 2>&1 </dev/null) &
program=$!
pids+=($program)
take_keyboard '^Veltrane$'
xdotool type --delay 40 "$work/key"
xdotool key --clearmodifiers --delay 60 Tab Tab Tab space
until_true '! cmp -s "$work/data" "$work/plain" && [ "$(xdotool getwindowname "$window")" = Veltrane ]' \
  || fail "the window program did not encrypt the file"
xdotool key --clearmodifiers Escape
wait "$program" || true
"$loader" "$dir/veltrane-cli.exe" decrypt -q -k "$work/key" "$work/data" </dev/null ||
  fail "the portable veltrane-cli.exe failed"
cmp -s "$work/data" "$work/plain" || fail "the file did not decrypt to what it was"

registry >"$work/after"
diff "$work/before" "$work/after" >&2 || fail "the registry changed"
rm -rf "$WINEPREFIX/drive_c/USB Stick ä"
echo "the portable copy ran from ${stick#$WINEPREFIX/drive_c/} and left the registry as it was"
