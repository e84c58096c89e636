#!/usr/bin/env bash
# A sanity figure, not a benchmark: one 256 MiB pass by the Linux program and
# by the Windows program under Wine, on the same file, one after the other.
#   time_pass.sh LINUX_CLI WINDOWS_BUILD_DIR
set -euo pipefail
linux=$1
build=$(cd "$2" && pwd)
windows=$build/cli/veltrane-cli.exe
wine=$(sed -n 's/^VELTRANE_WINE_LOADER:[A-Z]*=//p' "$build/CMakeCache.txt")
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all
dir=$(mktemp -d "${TMPDIR:-/var/tmp}/veltrane-time-XXXXXX")
trap 'rm -rf "$dir"' EXIT
head -c 256M /dev/urandom > "$dir/data.bin"
head -c 4096 /dev/urandom > "$dir/key.bin"
wineserver -p >/dev/null 2>&1 </dev/null || true
"$wine" cmd /c exit >/dev/null 2>&1 </dev/null || true
sync
seconds() { local start end; start=$(date +%s.%N); "$@"; end=$(date +%s.%N); awk "BEGIN { print $end - $start }"; }
before=$(sha1sum < "$dir/data.bin")
l=$(seconds "$linux" encrypt -q -k "$dir/key.bin" "$dir/data.bin")
w=$(seconds "$wine" "$windows" decrypt -q -k "$dir/key.bin" "$dir/data.bin")
wineserver -k >/dev/null 2>&1 || true
[ "$(sha1sum < "$dir/data.bin")" = "$before" ] || { echo "the Windows pass did not undo the Linux one"; exit 1; }
printf '256 MiB pass: Linux veltrane-cli %.2f s, Windows veltrane-cli.exe under Wine (%s) %.2f s\n' \
  "$l" "$(basename "$build")" "$w"
