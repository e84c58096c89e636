#!/bin/bash
# Runs a command on a private session bus with an accessibility bus beside
# it, as a desktop session has them: the window programs it starts show
# their accessible tree there, and nothing reaches the bus of whoever runs
# the tests. Needs a display (make test gives one).
# usage: accessibility_bus.sh COMMAND [ARG...]
set -u
exec dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
  # A program finds the bus only once the launcher has it up.
  for _ in $(seq 300); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
      org.a11y.Bus.GetAddress 2>/dev/null | grep -q unix: && break
    sleep 0.1
  done
  GTK_MODULES=gail:atk-bridge NO_AT_BRIDGE=0 "$@"; rc=$?
  kill $bus 2>/dev/null
  exit $rc' bash "$@"
