#!/bin/bash
# Runs a Windows test program on a virtual display of its own (1280 px wide,
# as the notice test expects), with a Wine server started for it there: a
# server left from an earlier test may belong to no display, or to one that
# is gone, and its windows could not be made. The tests that use it run
# alone (RUN_SERIAL), so stopping the server disturbs no other.
# usage: on_display.sh WINE_LOADER PROGRAM [ARG...]
set -u
exec xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
  "$@" </dev/null; rc=$?
  wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
  exit $rc' bash "$@"
