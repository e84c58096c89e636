#!/usr/bin/env bash
# Usage: window_appears.sh PID [SECONDS]
# Waits until the window titled "Veltrane" is on the current display, then
# closes it with Escape as a user would; fails if PID ends first or the time
# runs out. Used by the test of `make run` and by its benchmark.
set -u
pid=$1 limit=${2:-600}
for ((tenths = 0; tenths < limit * 10; tenths++)); do
  if wid=$(xdotool search --onlyvisible --name '^Veltrane$' 2>/dev/null | head -n 1) && [ -n "$wid" ]; then
    echo "window $wid is on $DISPLAY"
    # Without a window manager a synthetic key goes to the window named.
    xdotool key --window "$wid" Escape
    # The window is gone at the press, and xdotool's release then misses
    # the key, which stays down and repeats into every window made after.
    xdotool keyup Escape
    exit 0
  fi
  kill -0 "$pid" 2>/dev/null || { echo "the program ended before its window appeared" >&2; exit 1; }
  sleep 0.1
done
echo "no window after $limit s" >&2
exit 1
