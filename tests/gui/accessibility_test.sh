#!/bin/bash
# The window program on a private accessibility bus, its tree read as a
# screen reader reads it. Needs a display (make test gives one).
# usage: accessibility_test.sh PROGRAM CHECK_SCRIPT
set -u
program=$1
check=$2
exec dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
  # The program finds the bus only once the launcher has it up.
  for _ in $(seq 300); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
      org.a11y.Bus.GetAddress 2>/dev/null | grep -q unix: && break
    sleep 0.1
  done
  GTK_MODULES=gail:atk-bridge NO_AT_BRIDGE=0 "$0" & app=$!
  /usr/bin/python3 "$1"; rc=$?
  kill $app $bus 2>/dev/null; wait $app 2>/dev/null
  exit $rc' "$program" "$check"
