#!/usr/bin/env bash
# Makes the Windows screenshots in docs/ from the built veltrane.exe and the
# installer's first and last pages, run by Wine on a virtual display with a
# small window manager. The installer installs for real into the build's
# Wine prefix and is uninstalled again.
#
#   docs/make_windows_screenshots.sh [WINDOWS_BUILD_DIR]   (after `make windows`)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-win64}" && pwd)
program=$build/app/win32/veltrane.exe
[ -f "$program" ] || { echo "build the program first: make windows" >&2; exit 1; }
export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all
loader=$(sed -n 's/^VELTRANE_WINE_LOADER:[A-Z]*=//p' "$build/CMakeCache.txt")

if [ -z "${VELTRANE_ON_VIRTUAL_DISPLAY:-}" ]; then
  exec env VELTRANE_ON_VIRTUAL_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
# The fonts Windows dialogs are drawn in, where the prefix lacks them.
[ -f "$WINEPREFIX/system.reg" ] || { "$loader" wineboot --init >/dev/null 2>&1; wineserver -w; }
cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true

pids=()
config=
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; rm -rf "$config"' EXIT
# The title bar with the buttons the window asks for (no maximise button).
config=$(mktemp -d)
mkdir -p "$config/openbox"
sed 's|<titleLayout>[A-Z]*</titleLayout>|<titleLayout>NLIC</titleLayout>|' \
  /etc/xdg/openbox/rc.xml > "$config/openbox/rc.xml"
XDG_CONFIG_HOME=$config openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1  # a window mapped before the manager runs is never shown as active

shoot() {
  local window=$1 file=$2 left right top bottom
  read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  eval "$(xwininfo -id "$window" | sed -n \
    's/^ *Absolute upper-left X: *\(-*[0-9]*\)/X=\1/p; s/^ *Absolute upper-left Y: *\(-*[0-9]*\)/Y=\1/p;
     s/^ *Width: *\([0-9]*\)/WIDTH=\1/p; s/^ *Height: *\([0-9]*\)/HEIGHT=\1/p')"
  import -window root -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" \
    +repage "$file"
  echo "$file"
}

"$loader" "$program" &
pids+=($!)
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veltrane$' | head -1)
xdotool windowactivate --sync "$main"
sleep 1  # the first paint
shoot "$main" docs/veltrane-windows.png
xdotool key F1
about=$(timeout 30 xdotool search --sync --onlyvisible --name '^About Veltrane$' | head -1)
sleep 1
shoot "$about" docs/about-windows.png
xdotool key Escape
sleep 0.5
xdotool windowactivate --sync "$main" key Escape
wait "${pids[1]}"

# The installer from its first page to its last, by the keyboard: Next, I
# Agree, Next, Install; then the last page's "Start Veltrane" box cleared
# and Finish.
installer=$(ls "$build"/veltrane-*-setup.exe)
WINEDLLOVERRIDES=winemenubuilder.exe=d "$loader" "$installer" &
pids+=($!)
setup=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veltrane Setup$' | head -1)
xdotool windowactivate --sync "$setup"
sleep 1
shoot "$setup" docs/installer-kind.png
for _ in 1 2 3 4; do xdotool key --delay 300 Return; sleep 1; done
timeout 60 bash -c 'until [ -f "$1" ]; do sleep 0.2; done' _ "$(echo "$WINEPREFIX"/drive_c/Program\ Files/Veltrane)/uninstall.exe"
sleep 2
shoot "$setup" docs/installer-finish.png
xdotool key alt+s Return
wait "${pids[2]}"
"$loader" "$WINEPREFIX/drive_c/Program Files/Veltrane/uninstall.exe" /S
wineserver -w

# The main window in German, as Windows shows it to a German user.
LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 "$loader" "$program" &
pids+=($!)
main=$(timeout 30 xdotool search --sync --onlyvisible --name '^Veltrane$' | head -1)
xdotool windowactivate --sync "$main"
sleep 1
shoot "$main" docs/veltrane-windows-de.png
xdotool key Escape
wait "${pids[3]}"
