#!/usr/bin/env bash
# Turns CHANGELOG.md into the Debian changelog that a native package carries
# as usr/share/doc/PACKAGE/changelog.gz. The output depends on the arguments
# alone (no time stamp in the gzip header), so every build gives the same bytes.
# Usage: debian_changelog.sh CHANGELOG.md PACKAGE MAINTAINER OUTPUT.gz
set -euo pipefail
in=$1 package=$2 maintainer=$3 out=$4
heading='^## ([0-9][0-9.]*) \(([0-9]{4}-[0-9]{2}-[0-9]{2})\)$'

trailer() {
  printf '\n -- %s  %s\n' "$maintainer" "$(LC_ALL=C date -u -R -d "$1")"
}

debian_changelog() {
  local line date=""
  while IFS= read -r line; do
    line=${line//\`/}
    if [[ $line =~ $heading ]]; then
      if [ -n "$date" ]; then trailer "$date"; echo; fi
      date=${BASH_REMATCH[2]}
      printf '%s (%s) unstable; urgency=medium\n\n' "$package" "${BASH_REMATCH[1]}"
    elif [[ $line == '## '* ]]; then
      echo "$in: not a release heading: $line" >&2
      return 1
    elif [ -n "$date" ] && [[ $line == '- '* ]]; then
      printf '  * %s\n' "${line#- }"
    elif [ -n "$date" ] && [[ $line == '  '* ]]; then
      printf '  %s\n' "$line"
    fi
  done < "$in"
  if [ -z "$date" ]; then
    echo "$in: no release found" >&2
    return 1
  fi
  trailer "$date"
}

text=$(debian_changelog)
printf '%s\n' "$text" | gzip -9n > "$out"
