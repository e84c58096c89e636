#!/usr/bin/env bash
# Usage: make_run_test.sh SOURCE_DIR BUILD_DIR
# README's `make run` as a user types it, on this display: the window must
# appear (then it is closed). Then, with no display, the command that
# `make run` suggests instead, run exactly as printed.
set -euo pipefail
src=$1
export BUILD_DIR=$2
appears=$(cd "$(dirname "$0")" && pwd)/helpers/window_appears.sh
cd "$src"

make --no-print-directory run &
"$appears" $! 300
wait $!

hint=$(env -u DISPLAY -u WAYLAND_DISPLAY make --no-print-directory run 2>&1) && {
  echo "make run without a display did not fail: $hint" >&2
  exit 1
}
command=$(sed -n "s/^  //p" <<<"$hint" | tail -n 1)
echo "suggested: $command"
# The suggested command makes a display of its own: find the program it
# starts in this new session and look for the window where it is.
setsid bash -c "$command" &
session=$!
for ((tenths = 0; tenths < 3000; tenths++)); do
  program=$(pgrep -s "$session" -x veltrane || true)
  [ -n "$program" ] && break
  kill -0 "$session" 2>/dev/null || { echo "the suggested command ended without starting the program" >&2; exit 1; }
  sleep 0.1
done
[ -n "$program" ] || { echo "the suggested command started no program" >&2; exit 1; }
while IFS= read -r -d '' variable; do
  case $variable in DISPLAY=* | XAUTHORITY=*) export "${variable?}" ;; esac
done </proc/"$program"/environ
"$appears" "$session" 60
wait "$session"
