#!/usr/bin/env bash
# Every .exe shipped says whose it is and which version in its version block
# (what Explorer's Details tab, Task Manager and "Open with" show): the
# product, the company and copyright of LICENSE, the version --version shows,
# dotted, and a description of its own. The programs also carry the icon,
# the manifest and their own file name.
#   resources_test.sh OBJDUMP VERSION COMPANY COPYRIGHT PROGRAM.EXE... -- SETUP.EXE UNINSTALL.EXE
set -uo pipefail
objdump=$1 version=$2 company=$3 copyright=$4
shift 4
status=0
fail() { echo "$exe: $*"; status=1; }
# The value after KEY in the version block, whose strings are UTF-16. Read
# whole first: grep ending a pipe early would fail it under pipefail.
value() { grep -x -A1 "$1" <<<"$strings16" | sed -n 2p; }
programs=1 descriptions=()
for exe in "$@"; do
  [ "$exe" = -- ] && { programs=0; continue; }
  strings16=$(strings -el "$exe")
  [ "$(value ProductName)" = Veltrane ] || fail "product: $(value ProductName)"
  [ "$(value CompanyName)" = "$company" ] || fail "company: $(value CompanyName)"
  [ "$(value LegalCopyright)" = "$copyright" ] || fail "copyright: $(value LegalCopyright)"
  [ "$(value FileVersion)" = "$version" ] && [ "$(value ProductVersion)" = "$version" ] ||
    fail "versions: $(value FileVersion) / $(value ProductVersion), not $version"
  # The fixed part of the block, which Explorer shows as "File version".
  fixed=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(bytes.fromhex("bd04effe"))
ms, ls = struct.unpack("<II", data[at + 8:at + 16])
print(f"{ms >> 16}.{ms & 0xffff}.{ls >> 16}.{ls & 0xffff}")' "$exe")
  [ "$fixed" = "$version" ] || fail "fixed file version $fixed"
  description=$(value FileDescription)
  [[ -n $description && $description != *MFC* ]] || fail "description: $description"
  descriptions+=("$(basename "$exe"): $description")
  [ $programs = 1 ] || continue
  # Resource types by number: 3 and 14 the icon, 16 the version block, 24 the manifest.
  types=$("$objdump" -p "$exe" | sed -n 's/^[0-9a-f]\{3\}   Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p' | tr '\n' ' ')
  for type in 3 e 10 18; do
    [[ " $types" == *" $type "* ]] || fail "no resource of type 0x$type (has: $types)"
  done
  [ "$(value OriginalFilename)" = "$(basename "$exe")" ] || fail "not named $(basename "$exe")"
  grep -q longPathAware <<<"$(strings "$exe")" || fail "the manifest is not the program's"
done
[ "$status" = 0 ] && printf '%s\n' "${descriptions[@]}"
exit $status
