#!/usr/bin/env bash
# Ctrl-C typed at a terminal stops veltrane-cli.exe the way it stops the
# Linux program: exit status 130, the file in work as it was, no temporary
# file left, the files not started named. Under Wine the .exe's console is
# the terminal that `script` gives it, where Ctrl-C becomes the console's
# control event.
#   ctrl_c_test.sh WINDOWS_CLI WINE_LOADER
set -euo pipefail
cli=$1 wine=$2
dir=$(mktemp -d "${TMPDIR:-/var/tmp}/veltrane-ctrlc-XXXXXX")
trap 'exec 7>&- 2>/dev/null; rm -rf "$dir"' EXIT
cd "$dir"
# Sparse but long enough to be caught mid-pass.
head -c 1M /dev/urandom > big.img
truncate -s 512M big.img
head -c 100 /dev/urandom > key.bin
echo plain > other.txt
sha1sum big.img other.txt > sums
mkfifo keys
script -qfec "'$wine' '$cli' encrypt -v -k key.bin big.img other.txt" typescript <keys >/dev/null 2>&1 &
runner=$!
exec 7>keys
# Waits for the pass to be under way, not for a time.
until grep -q "big.img 1% done" typescript 2>/dev/null; do
  kill -0 $runner 2>/dev/null || { echo "the program ended before it was stopped"; cat typescript; exit 1; }
  sleep 0.05
done
printf '\003' >&7
status=0
wait $runner || status=$?
fail=0
[ $status = 130 ] || { echo "exit status $status, expected 130"; fail=1; }
sha1sum --quiet -c sums || fail=1
[ ! -e "big.1ê9" ] || { echo "temporary file left"; fail=1; }
grep -q "veltrane-cli: stopped; unchanged: big.img" typescript || { echo "big.img not named"; fail=1; }
grep -q "veltrane-cli: stopped; unchanged: other.txt" typescript || { echo "other.txt not named"; fail=1; }
[ $fail = 0 ] || cat -v typescript
exit $fail
