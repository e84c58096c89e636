#!/usr/bin/env bash
# The installer under Wine, silently: it puts the programs, ReadMe.txt (as
# Notepad reads it), the license, Start menu entries for the program and
# ReadMe.txt and Explorer's context-menu entry for every file in place, for
# everyone or, with Send To, for the user alone, and its uninstaller takes
# all of them away again, leaving nothing in the temporary folder. Installed
# to a folder of the user's choice, an upgrade goes to the same folder; an
# upgrade into another folder moves the installation, and an uninstaller in
# a folder the registry doesn't name takes only its own files: one
# installation is left. An upgrade keeps the kind, and the other kind over
# an installation is refused. While
# veltrane.exe runs from the folder, an upgrade and the uninstaller fail and
# leave every file as it was; the uninstaller, waited for as an administrator
# does, says so by its exit status. With /PATH the folder is added once to the
# user's PATH and taken out again by the uninstaller, the user's own entries
# kept as they were.
#   installer_test.sh SETUP.EXE WINE-LOADER APP.EXE CLI.EXE
set -euo pipefail
setup=$1 loader=$2 app=$3 cli=$4
: "${WINEPREFIX:?}"
root="$WINEPREFIX/drive_c"
menu="$root/ProgramData/Microsoft/Windows/Start Menu/Programs/Veltrane.lnk"
user_menu=$(echo "$root"/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs)
fail() { echo "FAIL: $*"; exit 1; }
# A REG_SZ value in the registry's 64-bit view, if it is there.
reg_sz() { "$loader" reg query "$1" "${@:2}" 2>/dev/null </dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' || true; }
# What Explorer runs for "Encrypt or decrypt with Veltrane" on a file, from
# the machine's (HKLM) or the user's (HKCU) entry; where the installed
# programs' entry says Veltrane is; and the Send To shortcuts there are.
context_menu() { reg_sz "${1:-HKLM}\\Software\\Classes\\*\\shell\\Veltrane\\command" /ve; }
location() { reg_sz "$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Veltrane" /v InstallLocation; }
send_to() { ls "$root"/users/*/AppData/Roaming/Microsoft/Windows/SendTo/ 2>/dev/null | grep -c Veltrane || true; }
# The Windows name of a folder in the prefix.
windows_path() { local win="C:\\${1#$root/}"; echo "${win//\//\\}"; }
# The user's PATH (or with $1 another environment's), if it is of the type
# Windows expands: read from a registry export, which is UTF-16 in every
# locale (reg query writes in the console's code page).
system_environment='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
user_path() {
  local value key=${1:-HKCU\\Environment}
  rm -f "$work/env.reg"
  # An export that fails is tried again: with another Wine test running
  # beside this one, a reading once came back wrong.
  until_true '"$loader" reg export "$key" "$work/env.reg" /y >/dev/null 2>&1 </dev/null' ||
    fail "reg export of $key failed"
  value=$(iconv -f UTF-16 -t UTF-8 "$work/env.reg" | tr -d '\r' | sed -e ':a' -e '/\\$/{N;s/\\\n *//;ba}' |
          sed -n 's/^"path"=//Ip')
  case $value in
    hex\(2\):*) value=${value#hex(2):}
                printf "$(printf '\\x%s' ${value//,/ })" | iconv -f UTF-16LE -t UTF-8 | tr -d '\0' ;;
    *) echo "not REG_EXPAND_SZ: $value" ;;
  esac
}
set_user_path() { "$loader" reg add "${2:-HKCU\\Environment}" /v Path /t REG_EXPAND_SZ /d "$1" /f >/dev/null </dev/null; }
# Wine would otherwise write desktop entries and icons for the Start menu
# into the home folder, where no uninstaller reaches.
export WINEDLLOVERRIDES=winemenubuilder.exe=d
. "$(dirname "$0")/own_display.sh"

# veltrane.exe needs a display to run.
own_display 1024x768
"$loader" cmd /c exit >/dev/null 2>&1 </dev/null || true

# Everything the installer put in place, of either kind, is gone.
removed() {
  [ ! -e "$1" ] || fail "left behind: $(ls -A "$1")"
  [ -z "$(ls "$menu" "$user_menu"/Veltrane* 2>/dev/null)" ] || fail "a Start menu entry is left behind"
  [ -z "$(context_menu HKLM)$(context_menu HKCU)" ] || fail "a context-menu entry is left behind"
  [ -z "$(location HKLM)$(location HKCU)" ] || fail "an installed programs' entry is left behind"
  [ "$(send_to)" = 0 ] || fail "the Send To shortcut is left behind"
}
# The uninstaller runs a copy of itself from the temporary folder and returns
# at once; the copy's work shows as the folder going away, and the copy
# takes its own folder with it.
uninstalled() {
  local folder=$1
  "$loader" "$folder/uninstall.exe" /S </dev/null
  until_true '[ ! -e "$folder" ]' || fail "the uninstaller left $folder"
  until_true '[ -z "$(ls -d "$root"/users/*/AppData/Local/Temp/~nsu*.tmp "$root"/users/*/Temp/~nsu*.tmp 2>/dev/null)" ]' ||
    fail "the uninstaller left its copy's folder in %TEMP%"
}
uninstall() {
  uninstalled "$1"
  removed "$1"
}
# As README tells an administrator to, from a batch file: in place, waited
# for, its exit status told.
waited_uninstall() {
  local win="C:\\${dir#$root/}"
  win=${win//\//\\}
  printf '%s\r\n' "start \"\" /wait \"$win\\uninstall.exe\" /S _?=$win" 'exit /b %ERRORLEVEL%' >"$work/uninstall.bat"
  "$loader" cmd /c "Z:${work//\//\\}\\uninstall.bat" </dev/null
}

# Entries of the user's own: one unexpanded, one inside the folder chosen
# below, which is not that folder.
users_own='C:\Tools;%USERPROFILE%\bin;C:\Prog ä\Vélträne Ω\old'
set_user_path "$users_own"

chosen="$root/Prog ä/Vélträne Ω"
# NSIS reads /D= only unquoted, and Wine quotes a word with spaces: the
# command line goes through cmd as written.
"$loader" cmd /c "Z:${setup//\//\\} /S /CURRENTUSER /PATH /D=C:\\Prog ä\\Vélträne Ω" </dev/null
# cmd doesn't wait for a program with a window, as the installer is (seen
# by its Windows path, not this script's arguments).
until_true '! pgrep -f "[\\]${setup##*/}" >/dev/null' || fail "the installer doesn't end"
[ -f "$chosen/veltrane.exe" ] || fail "nothing installed in the chosen folder"
with_folder="$users_own;C:\Prog ä\Vélträne Ω"
path_now=$(user_path)
[ "$path_now" = "$with_folder" ] || fail "/PATH made the user's PATH $path_now"
# For the user alone: the user's registry, Start menu and Send To.
[ -n "$(location HKCU)" ] && [ -z "$(location HKLM)" ] ||
  fail "installed programs' entries: user $(location HKCU), machine $(location HKLM)"
[[ $(context_menu HKCU) == *veltrane.exe* ]] && [ -z "$(context_menu HKLM)" ] || fail "Explorer's entry is not the user's"
[ -f "$user_menu/Veltrane.lnk" ] && [ -f "$user_menu/Veltrane ReadMe.lnk" ] && [ ! -e "$menu" ] ||
  fail "the Start menu entries are not the user's"
[ "$(send_to)" = 1 ] || fail "no Send To shortcut"
status=0
"$loader" "$setup" /S /ALLUSERS </dev/null || status=$?
[ "$status" = 2 ] || fail "an install for everyone over the user's said $status"
"$loader" "$setup" /S /PATH </dev/null
[ "$(user_path)" = "$with_folder" ] || fail "the upgrade with /PATH made it $(user_path)"
for d in "$root"/Program\ Files*/Veltrane; do
  [ ! -e "$d" ] || fail "the upgrade made a second installation in ${d#$root/}"
done
[ -f "$chosen/veltrane.exe" ] || fail "the upgrade took the chosen folder's programs away"
# Into another folder, the installation moves, its PATH entry with it.
other="$root/Other"
"$loader" cmd /c "Z:${setup//\//\\} /S /D=C:\\Other" </dev/null
until_true '! pgrep -f "[\\]${setup##*/}" >/dev/null' || fail "the installer doesn't end"
[ ! -e "$chosen" ] || fail "the move left $(ls -A "$chosen") in the old folder"
[ -f "$other/veltrane.exe" ] || fail "nothing installed in the new folder"
[ "$(location HKCU)" = 'C:\Other' ] || fail "the installed programs' entry says $(location HKCU)"
[[ $(context_menu HKCU) == *'C:\Other\veltrane.exe'* ]] || fail "Explorer's entry runs $(context_menu HKCU)"
[ "$(user_path)" = "$users_own;C:\Other" ] || fail "the move made the PATH $(user_path)"
# An uninstaller in a folder the registry doesn't name takes only its files.
cp -r "$other" "$root/Copy"
uninstalled "$root/Copy"
[ "$(location HKCU)" = 'C:\Other' ] && [ -f "$user_menu/Veltrane.lnk" ] && [ -n "$(context_menu HKCU)" ] ||
  fail "a copy's uninstaller removed the installation's entries"
[ "$(user_path)" = "$users_own;C:\Other" ] || fail "a copy's uninstaller made the PATH $(user_path)"
uninstall "$other"
[ "$(user_path)" = "$users_own" ] || fail "the uninstaller left the user's PATH as $(user_path)"
rmdir "$root/Prog ä"

# For the user alone, the folder is in the user's own programs folder.
"$loader" "$setup" /S /CURRENTUSER </dev/null
mine=$(echo "$root"/users/*/AppData/Local/Programs/Veltrane)
[ -f "$mine/veltrane.exe" ] || fail "nothing installed in the user's programs folder"
uninstall "$mine"

# For everyone, with an administrator's rights as Wine gives them: the
# machine's entries and PATH. The installer's process ends when it is done.
system_path=$(user_path "$system_environment")
"$loader" "$setup" /S /PATH </dev/null
dirs=("$root"/Program\ Files*/Veltrane)
[ -d "${dirs[0]}" ] || fail "nothing installed under Program Files"
dir=${dirs[0]}
[ "$(user_path)" = "$users_own" ] || fail "an install for everyone made the user's PATH $(user_path)"
[ "$(user_path "$system_environment")" = "$system_path;$(windows_path "$dir")" ] ||
  fail "/PATH made the system's PATH $(user_path "$system_environment")"
for f in veltrane.exe veltrane-cli.exe ReadMe.txt LICENSE.txt uninstall.exe; do
  [ -f "$dir/$f" ] || fail "$f missing from $dir"
done
cmp -s "$app" "$dir/veltrane.exe" || fail "veltrane.exe is not the one built"
cmp -s "$cli" "$dir/veltrane-cli.exe" || fail "veltrane-cli.exe is not the one built"
[ -f "$menu" ] && [ -f "${menu%.lnk} ReadMe.lnk" ] || fail "no Start menu entries"
context_menu | grep -q 'veltrane.exe" "%1"' || fail "no context-menu entry: $(context_menu)"
# Windows keeps Send To for each user alone.
[ "$(send_to)" = 0 ] || fail "a Send To shortcut for one user of an install for everyone"
# As every Notepad reads it: a UTF-8 mark and CRLF line ends.
[ "$(head -c 3 "$dir/ReadMe.txt" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "ReadMe.txt has no UTF-8 mark"
[ "$(grep -c $'\r$' "$dir/ReadMe.txt")" = "$(wc -l <"$dir/ReadMe.txt")" ] || fail "ReadMe.txt has lines without CR"
"$loader" "$dir/veltrane-cli.exe" --version </dev/null | grep -q "^veltrane-cli " \
  || fail "the installed veltrane-cli.exe doesn't run"

# The installed files are made to differ from the upgrade's, so that any file
# the refused upgrade replaced shows.
for f in veltrane.exe veltrane-cli.exe ReadMe.txt LICENSE.txt; do printf 'old' >>"$dir/$f"; done
sums() { (cd "$dir" && sha256sum -- *); }
sums >"$work/old"
"$loader" "$dir/veltrane.exe" >/dev/null 2>&1 </dev/null &
program=$!
pids+=($program)
until_true '[ -n "$(xdotool search --onlyvisible --name "^Veltrane$" 2>/dev/null)" ]' \
  || fail "the installed veltrane.exe shows no window"
status=0
"$loader" "$setup" /S </dev/null || status=$?
[ "$status" != 0 ] || fail "an upgrade while veltrane.exe runs reported success"
sums | cmp -s - "$work/old" || fail "the refused upgrade changed the installation"
status=0
waited_uninstall || status=$?
[ "$status" = 2 ] || fail "the uninstaller, refused by the running veltrane.exe, said $status"
sums | cmp -s - "$work/old" || fail "the uninstaller removed files while veltrane.exe ran"
[ -f "$menu" ] || fail "the uninstaller removed the Start menu entry while veltrane.exe ran"
# Ending it stands in for the user closing it.
kill "$program"
wait "$program" || true
# NSIS strings hold 1023 characters: a longer PATH would come back cut short,
# so the installer leaves it whole.
long_path="$system_path$(printf ';C:\\Tools\\%04d' $(seq 100))"
set_user_path "$long_path" "$system_environment"
"$loader" "$setup" /S /PATH </dev/null || fail "the upgrade failed with veltrane.exe closed"
[ "$(user_path "$system_environment")" = "$long_path" ] || fail "the upgrade changed a PATH too long to hold"
cmp -s "$app" "$dir/veltrane.exe" || fail "the upgrade left the old veltrane.exe"
cmp -s "$cli" "$dir/veltrane-cli.exe" || fail "the upgrade left the old veltrane-cli.exe"
[ "$(context_menu | wc -l)" = 1 ] || fail "the upgrade left more than one entry"

waited_uninstall || fail "the waited uninstaller said $?"
# Running in place, it can't remove itself: that is left to the administrator.
[ "$(ls -A "$dir")" = uninstall.exe ] || fail "the waited uninstaller left $(ls -A "$dir")"
rm "$dir/uninstall.exe"
rmdir "$dir"
removed "$dir"
[ "$(user_path "$system_environment")" = "$long_path" ] || fail "the uninstaller changed a PATH too long to hold"
set_user_path "$system_path" "$system_environment"
echo "installed into ${dir#$root/} and removed again"
