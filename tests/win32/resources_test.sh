#!/usr/bin/env bash
# Each program carries the icon, the manifest and a version block with the
# project's version and its own file name, so that Windows shows either one
# as Veltrane's, whichever is looked at or copied alone.
#   resources_test.sh OBJDUMP VERSION PROGRAM.EXE...
set -uo pipefail
objdump=$1 version=$2
shift 2
status=0
fail() { echo "$exe: $*"; status=1; }
# The resource types by number: 3 icon images, 14 their group, 16 the
# version block, 24 the manifest.
for exe in "$@"; do
  listing=$("$objdump" -p "$exe") || { fail "cannot be read"; continue; }
  types=$(sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p' <<<"$listing" | tr '\n' ' ')
  for type in 3 e 10 18; do
    [[ " $types" == *" $type "* ]] || fail "no resource of type 0x$type (has: $types)"
  done
  # The version block's strings are UTF-16, each value after its key.
  strings16=$(strings -el "$exe")
  value() { grep -x -A1 "$1" <<<"$strings16" | sed -n 2p; }
  name=$(basename "$exe")
  [ "$(value OriginalFilename)" = "${name^^}" ] || fail "OriginalFilename is '$(value OriginalFilename)'"
  internal=${name%.exe}
  [ "$(value InternalName)" = "${internal^^}" ] || fail "InternalName is '$(value InternalName)'"
  for key in FileVersion ProductVersion; do
    [ "$(value $key)" = "${version//./, }" ] || fail "$key is '$(value $key)', not $version"
  done
  # Read whole first: grep -q ending the pipe early would fail it under pipefail.
  strings8=$(strings "$exe")
  grep -q 'longPathAware' <<<"$strings8" || fail "the manifest is not the program's"
done
[ "$status" = 0 ] && echo "$# programs carry their icon, manifest and version block"
exit $status
