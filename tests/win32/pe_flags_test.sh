#!/usr/bin/env bash
# Every program of a Windows build asks for a randomised load address (with
# the relocations it needs), non-executable data and, on 64-bit, addresses
# from the whole space, and carries stack canaries.
#   pe_flags_test.sh OBJDUMP BUILD_DIR BITS
set -uo pipefail
objdump=$1 build=$2 bits=$3
# objdump names them with or without the IMAGE_DLL_CHARACTERISTICS_ prefix.
wanted=(DYNAMIC_BASE NX_COMPAT)
[ "$bits" = 64 ] && wanted+=(HIGH_ENTROPY_VA)
status=0 count=0
# The programs linked here; the installer's and the uninstaller's stub is
# NSIS's own.
while IFS= read -r -d '' exe; do
  count=$((count + 1))
  headers=$("$objdump" -p -h "$exe") || { echo "cannot read $exe"; status=1; continue; }
  for flag in "${wanted[@]}"; do
    grep -qE "(\b|IMAGE_DLL_CHARACTERISTICS_)${flag}\b" <<<"$headers" || { echo "$exe: no $flag"; status=1; }
  done
  grep -qE '^ *[0-9]+ +\.reloc ' <<<"$headers" || { echo "$exe: no .reloc section"; status=1; }
  # The canaries are seen by their symbol; the shipped and portable copies
  # are the same programs with the symbols stripped, so only their flags are
  # checked. Read whole first: grep -q ending the pipe early would fail it
  # under pipefail.
  if [[ $exe != */shipped/* && $exe != */portable/* ]]; then
    symbols=$("$objdump" -t "$exe")
    grep -q '__stack_chk_guard' <<<"$symbols" || { echo "$exe: no stack protector"; status=1; }
  fi
done < <(find "$build" -name '*.exe' -not -path '*/wine-prefix/*' -not -path '*/_CPack_Packages/*' \
              -not -path '*/CMakeFiles/*' -not -name '*-setup.exe' -not -name uninstall.exe -print0)
[ "$count" -gt 0 ] || { echo "no .exe found in $build"; exit 1; }
[ "$status" = 0 ] && echo "$count programs checked"
exit $status
