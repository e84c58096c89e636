#!/bin/bash
# The window program and the screen reader Orca on a private accessibility
# bus, with a window manager to move the focus as a desktop does; what Orca
# would say is read from its log. VELTRANE_TEST_WM names another window
# manager to use than openbox.
# usage: spoken_test.sh PROGRAM CHECK_SCRIPT
set -u
export VELTRANE_TEST_WM=${VELTRANE_TEST_WM:-openbox}
exec "$(dirname "$0")/accessibility_bus.sh" bash -c '
  $VELTRANE_TEST_WM >/dev/null 2>&1 & wm=$!
  "$0" & app=$!
  /usr/bin/python3 "$1"; rc=$?
  # A window manager that hangs on its way out would hold the test (and the
  # bus) until its time limit: it gets five seconds.
  kill $app $wm 2>/dev/null
  for _ in $(seq 50); do kill -0 $app 2>/dev/null || kill -0 $wm 2>/dev/null || break; sleep 0.1; done
  kill -9 $app $wm 2>/dev/null; wait $app $wm 2>/dev/null
  exit $rc' "$1" "$2"
