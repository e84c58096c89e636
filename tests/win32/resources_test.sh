#!/usr/bin/env bash
# Each program carries the icon, the manifest and a version block with the
# project's version and its own file name.
#   resources_test.sh OBJDUMP VERSION PROGRAM.EXE...
set -uo pipefail
objdump=$1 version=$2
shift 2
status=0
fail() { echo "$exe: $*"; status=1; }
for exe in "$@"; do
  # Resource types by number: 3 and 14 the icon, 16 the version block, 24 the manifest.
  types=$("$objdump" -p "$exe" | sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p' | tr '\n' ' ')
  for type in 3 e 10 18; do
    [[ " $types" == *" $type "* ]] || fail "no resource of type 0x$type (has: $types)"
  done
  # The version block's strings are UTF-16, each value after its key. Read
  # whole first: grep ending a pipe early would fail it under pipefail.
  strings16=$(strings -el "$exe") strings8=$(strings "$exe")
  name=$(basename "$exe")
  [ "$(grep -x -A1 OriginalFilename <<<"$strings16" | sed -n 2p)" = "${name^^}" ] || fail "not named ${name^^}"
  [ "$(grep -x -A1 FileVersion <<<"$strings16" | sed -n 2p)" = "${version//./, }" ] || fail "not version $version"
  grep -q longPathAware <<<"$strings8" || fail "the manifest is not the program's"
done
[ "$status" = 0 ] && echo "$# programs carry their icon, manifest and version block"
exit $status
