#!/bin/bash
# The window program on a private accessibility bus, its tree read as a
# screen reader reads it.
# usage: accessibility_test.sh PROGRAM CHECK_SCRIPT
set -u
exec "$(dirname "$0")/accessibility_bus.sh" bash -c '
  "$0" & app=$!
  /usr/bin/python3 "$1"; rc=$?
  kill $app 2>/dev/null; wait $app 2>/dev/null
  exit $rc' "$1" "$2"
