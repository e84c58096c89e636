#!/bin/bash
# veltrane-cli in German, as a German user runs it: its help, a refusal, a
# usage error and a warning whose words follow a number are German, while
# what scripts read (exit statuses, the version line) stays as it is.
# usage: cli_language_test.sh CLI LOCALE_FOLDER CATALOGUE_FOLDER
set -u
cli=$1
in_german() { "$(dirname "$0")/support/in_locale.sh" de_DE.UTF-8 "$2" "$3" "$cli" "${@:4}"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
faults=0
expect() { # WHAT EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then echo "$1: expected [$2], got [$3]"; faults=1; fi
}

help=$(in_german "$@" --help | head -n 1)
expect "the help's first line" "Aufruf: veltrane-cli encrypt|decrypt -k SCHLÜSSELDATEI [-o VERSATZ] [--key-read-only] [-r] [-q|-v] DATEI …" "$help"
expect "the version line" "veltrane-cli $(LC_ALL=C "$cli" --version | cut -d' ' -f2)" "$(in_german "$@" --version)"

line=$(in_german "$@" encrypt -k "$work/key" "$work/missing" 2>&1); status=$?
expect "a refusal" "Fehler beim Verschlüsseln der Datei: $work/missing wurde nicht gefunden." "$line"
expect "a refusal's status" 1 $status

line=$(in_german "$@" encrypt -o 300 -k "$work/key" "$work/data" 2>&1); status=$?
expect "a usage error" "veltrane-cli: ungültiger Versatz '300': Erwartet wird eine Dezimalzahl von 0 bis 255
Versuchen Sie »veltrane-cli --help«." "$line"
expect "a usage error's status" 2 $status

# One byte, then three: the plural's two forms.
printf 'plain text' > "$work/data"
for key in k kkk; do
  printf '%s' $key > "$work/key"
  in_german "$@" encrypt -k "$work/key" "$work/data" 2> "$work/said" || { echo "a pass with a short key failed"; faults=1; }
  grep -o 'nur [0-9]* Bytes\? lang' "$work/said" >> "$work/forms"
done
expect "the short key's warnings" "nur 1 Byte lang
nur 3 Bytes lang" "$(cat "$work/forms")"
exit $faults
