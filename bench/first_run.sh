#!/usr/bin/env bash
# Usage: bench/first_run.sh
# How long README's `make run` takes from a fresh clone of this checkout's
# HEAD to the window, on a virtual display of its own. On a machine without
# the packages the figure includes installing them. Needs xvfb and xdotool.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'kill "${xvfb:-}" 2>/dev/null; rm -rf "$work"' EXIT
git clone -q "$here" "$work/clone"

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -nolisten tcp -nolisten local -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
read -r -u "$fd" display
export DISPLAY=":$display"

start=$(date +%s.%N)
(cd "$work/clone" && exec make run) >"$work/make.log" 2>&1 &
make_pid=$!
"$here/tests/gui/helpers/window_appears.sh" "$make_pid" 900 >/dev/null || { tail -n 30 "$work/make.log"; exit 1; }
end=$(date +%s.%N)
wait "$make_pid" || { tail -n 30 "$work/make.log"; echo "make run failed after its window closed" >&2; exit 1; }
printf 'first make run, fresh clone to window: %.1f s (%s)\n' "$(echo "$end - $start" | bc)" \
  "$(grep -q '^Installing:' "$work/make.log" && echo 'packages installed on the way' || echo 'packages already installed')"
