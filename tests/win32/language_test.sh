#!/usr/bin/env bash
# The Windows programs in French, as Windows picks a user's language: the
# window's controls read in French, and so do a line of veltrane-cli.exe and
# the context-menu entry the installer writes.
#   language_test.sh VELTRANE.EXE VELTRANE-CLI.EXE WINDOW-TEXTS.EXE WINE-LOADER SETUP.EXE
set -euo pipefail
app=$1 cli=$2 texts=$3 loader=$4 setup=$5
: "${WINEPREFIX:?}"
fail() { echo "FAIL: $*"; exit 1; }
. "$(dirname "$0")/own_display.sh"
own_display 1024x768
# Wine takes the user's interface language from the locale it starts in.
french() { env LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8 "$@"; }

(cd "$work" && exec env LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8 "$loader" "$app" >/dev/null 2>&1 </dev/null) &
window=$!
pids+=($window)
shown=$(french "$loader" "$texts" Veltrane </dev/null) || fail "no window named Veltrane"
shown=${shown//$'\r'/}
for text in Parcourir "Fichier à chiffrer" "Fichier clé" Décalage Chiffrer Déchiffrer \
            "Mettre le fichier clé en lecture seule."; do
  grep -qxF "$text" <<<"$shown" || fail "no control reads \"$text\"; they read: $(tr '\n' '|' <<<"$shown")"
done

status=0
line=$(cd "$work" && french "$loader" "$cli" encrypt -k cle absent.txt 2>&1 </dev/null) || status=$?
[ $status = 1 ] || fail "a refusal ended with $status"
[ "$(tr -d '\r' <<<"$line")" = "Erreur de chiffrement du fichier: Impossible de trouver absent.txt." ] \
  || fail "the refusal reads: $line"
# French takes the singular for 1 (and 0), the plural from 2: the
# catalogue's own rule, worked out by the program.
printf 'plain text' > "$work/data"
for key in k kkk; do
  printf '%s' $key > "$work/key"
  (cd "$work" && french "$loader" "$cli" encrypt -k key data 2>&1 </dev/null) | grep -o 'que [0-9]* octets\?' \
    >> "$work/forms" || true
done
[ "$(cat "$work/forms")" = $'que 1 octet\nque 3 octets' ] || fail "the short key's warnings read: $(cat "$work/forms")"

# The installer, for this user alone, silently: Explorer's entry is its own
# words (reg writes in the console's code page, so the entry's start alone).
kill $window
until_true "! kill -0 $window 2>/dev/null" || fail "the window program doesn't end"
export WINEDLLOVERRIDES=winemenubuilder.exe=d
french "$loader" "$setup" /S /CURRENTUSER </dev/null || fail "the installer failed"
entry=$(french "$loader" reg query 'HKCU\Software\Classes\*\shell\Veltrane' /ve </dev/null | tr -d '\r')
uninstaller=$(cd "$WINEPREFIX/drive_c" && ls users/*/AppData/Local/Programs/Veltrane/uninstall.exe)
french "$loader" "C:\\${uninstaller//\//\\}" /S </dev/null || true
# The uninstaller's work is done by a copy of its own in %TEMP%, which
# takes its folder with it: this prefix is left as it was.
root=$WINEPREFIX/drive_c
until_true '[ ! -e "$root/${uninstaller%/*}" ]' || fail "the uninstaller left ${uninstaller%/*}"
until_true '[ -z "$(ls -d "$root"/users/*/AppData/Local/Temp/~nsu*.tmp "$root"/users/*/Temp/~nsu*.tmp 2>/dev/null)" ]' ||
  fail "the uninstaller left its copy's folder in %TEMP%"
[[ $entry == *"REG_SZ    Chiffrer ou d"* ]] || fail "the installer's entry reads: $entry"
