#!/usr/bin/env bash
# veltrane.exe under Wine on a private virtual display with a window manager,
# worked from the keyboard alone as a user would: encrypt and decrypt a file
# byte for byte, with the offset set by the arrow keys; a refusal's notice;
# files dragged from a GTK program (XDND, which Wine hands the window as a
# Windows drop); the About box; Escape ends the program; the session's end
# stops a pass.
#   window_test.sh VELTRANE.EXE WINE-LOADER DRAG-SOURCE
set -euo pipefail
app=$1 loader=$2 drag_source=$3
: "${WINEPREFIX:?}"
fail() {
  echo "FAIL: $*"
  echo "windows: $(xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null | tr '\n' '|')"
  tail -5 "$work/program.log" 2>/dev/null || true
  import -window root "$work/../veltrane-window-test.png" 2>/dev/null || true
  exit 1
}
. "$(dirname "$0")/own_display.sh"

own_display 1280x800
window_manager

head -c 70000 /dev/urandom >"$work/data"
cp "$work/data" "$work/plain"
printf 'a short key' >"$work/key"
# The file as encrypted with KEY and OFFSET.
encrypted() {
  python3 - "$@" <<'PY'
import sys
plain, key, offset = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), int(sys.argv[3])
out = bytes((b + key[min(i, len(key) - 1)] + offset) % 256 for i, b in enumerate(plain))
open(sys.argv[4], "wb").write(out)
PY
}
encrypted "$work/plain" "$work/key" 3 "$work/expected"
printf 'another key, longer' >"$work/key2"
encrypted "$work/plain" "$work/key2" 3 "$work/expected2"
mkdir "$work/folder"

# Starts the program in the work folder, with the arguments given, and waits
# until its window has the keyboard.
start_program() {
  (cd "$work" && exec "$loader" "$app" "$@" >"$work/program.log" 2>&1 </dev/null) &
  program=$!
  pids+=($program)
  take_keyboard '^Veltrane$'
}
start_program
key() { xdotool key --clearmodifiers --delay 60 "$@"; }
type() { xdotool type --delay 40 "$1"; }

# From the first Browse button: the file field, the second Browse button, the
# key field, the offset (three steps up), the check box, Encrypt.
# The key path quoted, as Explorer's "Copy as path" gives it.
key Tab; type "$work/data"; key Tab Tab; type "\"$work/key\""
key Tab Up Up Up Tab Tab space
until_true 'cmp -s "$work/data" "$work/expected"' || fail "the file was not encrypted with offset 3"
until_true '[ "$(xdotool getwindowname "$window")" = Veltrane ]' || fail "the title was not put back"

# The focus is back on Encrypt; on to the file field, then to Decrypt.
key Tab Tab Tab; type "$work/data"; key Tab Tab Tab Tab Tab Tab space
until_true 'cmp -s "$work/data" "$work/plain"' || fail "the file did not decrypt to what it was"

# A file that isn't there (from Decrypt on to the file field, then Encrypt):
# the notice comes, and nothing else changes.
key Tab Tab; type "$work/missing"; key Tab Tab Tab Tab Tab space
until_true 'notice=$(xdotool search --onlyvisible --name "^Encrypt file error\.$" 2>/dev/null | head -1); [ -n "$notice" ]' \
  || fail "no notice for a missing file"
xdotool windowactivate --sync "$notice" key Return
until_true '[ -z "$(xdotool search --onlyvisible --name "^Encrypt file error\.$" 2>/dev/null)" ]' \
  || fail "the notice stayed"
cmp -s "$work/data" "$work/plain" || fail "the data file changed after a refusal"

# Drags from a GTK program to a point of the dialog given in its own units
# (248 by 93), the list being the file: URIs of the names given.
drag() {
  local x=$1 y=$2 list='' name
  shift 2
  for name in "$@"; do list+="file://$name"$'\r\n'; done
  # The window's own X window, the dialog's client area; xdotool's
  # geometry counts the window manager's frame in.
  local X Y WIDTH HEIGHT
  eval "$(xwininfo -id "$window" | awk '/Absolute upper-left X/ {print "X=" $NF}
    /Absolute upper-left Y/ {print "Y=" $NF} /Width:/ {print "WIDTH=" $NF} /Height:/ {print "HEIGHT=" $NF}')"
  /usr/bin/python3 "$drag_source" "$list" $((X + WIDTH * x / 248)) $((Y + HEIGHT * y / 93)) >/dev/null \
    || fail "the drag source failed"
}
# Refused with the notice, then answered.
refused_with_notice() {
  until_true 'notice=$(xdotool search --onlyvisible --name "^Drop file error\.$" 2>/dev/null | head -1); [ -n "$notice" ]' \
    || fail "no notice for a drop of $1"
  xdotool windowactivate --sync "$notice" key Return
  until_true '[ -z "$(xdotool search --onlyvisible --name "^Drop file error\.$" 2>/dev/null)" ]' \
    || fail "the drop's notice stayed"
}
# Onto the file field: a folder, then two files, refused whole; then on the
# key field's label, beside it, a key taken by no field; then the file. The
# focus is still on Encrypt, which then shows what the fields hold.
drag 93 18 "$work/folder"; refused_with_notice "a folder"
drag 93 18 "$work/data" "$work/key2"; refused_with_notice "two files"
drag 142 35 "$work/key2"
drag 93 18 "$work/data"
xdotool windowactivate --sync "$window" key space
until_true 'cmp -s "$work/data" "$work/expected"' || fail "the dropped file was not encrypted, with the typed key"
until_true '[ "$(xdotool getwindowname "$window")" = Veltrane ]' || fail "the title was not put back"
# Onto the key field, then a file onto the file field.
cp "$work/plain" "$work/data"
drag 93 35 "$work/key2"
drag 93 18 "$work/data"
xdotool windowactivate --sync "$window" key space
until_true 'cmp -s "$work/data" "$work/expected2"' || fail "the dropped key was not the one used"
until_true '[ "$(xdotool getwindowname "$window")" = Veltrane ]' || fail "the title was not put back"

# F1 opens the About box; Escape closes it, and then the program.
xdotool windowactivate --sync "$window" key F1
until_true '[ -n "$(xdotool search --onlyvisible --name "^About Veltrane$" 2>/dev/null)" ]' \
  || fail "F1 opened no About box"
key Escape
until_true '[ -z "$(xdotool search --onlyvisible --name "^About Veltrane$" 2>/dev/null)" ]' \
  || fail "Escape left the About box open"
xdotool windowactivate --sync "$window" key Escape
until_true '! kill -0 "$program" 2>/dev/null' || fail "Escape did not end the program"
wait "$program" || fail "the program ended with status $?"

# Started again, in the middle of a pass over a long (sparse) file the
# session ends: the pass stops as on Escape, leaving no temporary file and
# the very file it was.
head -c 1M /dev/urandom >"$work/big.img"
truncate -s 2G "$work/big.img"
before=$(stat -c '%i %s' "$work/big.img")
start_program
key Tab; type "$work/big.img"; key Tab Tab; type "$work/key"; key Tab Tab Tab space
until_true 'case $(xdotool getwindowname "$window") in Working*) true ;; *) false ;; esac' \
  || fail "the long pass was never seen to start"
"$loader" wineboot --end-session || fail "the session did not end"
until_true '! kill -0 "$program" 2>/dev/null' || fail "the program outlived its session"
[ "$(stat -c '%i %s' "$work/big.img")" = "$before" ] || fail "the file was replaced as the session ended"
[ ! -e "$work/big.1ê9" ] || fail "the session's end left the temporary file"

# Started with a file, as Explorer's "Open with" starts it, by a relative
# name beyond ASCII: the file field holds it and the keyboard is in the key
# field, so the key typed and Encrypt are all it takes.
cp "$work/plain" "$work/naïve ü.txt"
encrypted "$work/plain" "$work/key" 0 "$work/expected0"
start_program "naïve ü.txt"
type "$work/key"; key Tab Tab Tab space
until_true 'cmp -s "$work/naïve ü.txt" "$work/expected0"' || fail "the file named on the command line was not encrypted"
[ "$("$loader" "$app" --version)" = "veltrane $(sed -n 's/.*VELTRANE_VERSION "\(.*\)"/\1/p' "$(dirname "$app")/../../generated/res/version.h")" ] \
  || fail "--version did not answer"
echo "encrypted, decrypted, refused, took dropped files, ended, stopped at the session's end, and took a file to start with"
