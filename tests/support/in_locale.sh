#!/bin/bash
# Runs a command in a locale, as a user of that language runs it, with the
# catalogues of the build: a locale the machine hasn't generated is made
# for the tests alone, in a folder of the build (glibc finds it through
# LOCPATH), so that nothing on the machine changes.
# usage: in_locale.sh LOCALE LOCALE_FOLDER CATALOGUE_FOLDER COMMAND [ARG...]
# (LOCALE as de_DE.UTF-8)
set -eu
name=$1 folder=$2 catalogues=$3
shift 3
normal=$(echo "${name%%.*}.utf8")
if ! locale -a 2>/dev/null | grep -qix "$normal"; then
  mkdir -p "$folder"
  # Two tests may make it at once: each makes its own, then puts it in place.
  if [ ! -d "$folder/$name" ]; then
    localedef -i "${name%%.*}" -f UTF-8 "$folder/$name.$$" 2>/dev/null ||
      [ -d "$folder/$name.$$" ] || { echo "cannot make the locale $name" >&2; exit 1; }
    mv -T "$folder/$name.$$" "$folder/$name" 2>/dev/null || rm -rf "$folder/$name.$$"
  fi
  export LOCPATH=$folder
fi
# Set by env, not by this shell, which would try the locale itself.
exec env -u LANGUAGE LC_ALL="$name" LANG="$name" VELTRANE_LOCALEDIR="$catalogues" "$@"
