#!/bin/bash
# Runs a Windows test program on a virtual display of its own (1280 px wide,
# as the notice test expects), with a Wine server started for it there: a
# server left from an earlier test may belong to no display, or to one that
# is gone, and its windows could not be made. The tests that use it run
# alone (RUN_SERIAL), so stopping the server disturbs no other. With
# VELTRANE_TEST_DPI set, the display has that many pixels an inch (96 is
# once the scale) for as long as the program runs.
# usage: on_display.sh EMULATOR... PROGRAM.exe [ARG...]
set -u
exec xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
  dpi() {
    local at=1
    while [ "$at" -lt "$#" ] && [[ "${!at}" != *.exe ]]; do at=$((at + 1)); done
    "${@:1:at-1}" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$VELTRANE_TEST_DPI" /f \
      >/dev/null 2>&1 </dev/null
    wineserver -w >/dev/null 2>&1
  }
  [ -z "${VELTRANE_TEST_DPI:-}" ] || dpi "$@"
  "$@" </dev/null; rc=$?
  wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1
  [ -z "${VELTRANE_TEST_DPI:-}" ] || VELTRANE_TEST_DPI=96 dpi "$@"
  exit $rc' bash "$@"
