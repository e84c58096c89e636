#!/usr/bin/env bash
# Makes the screenshots in docs/ from the built program, on a virtual display
# with a small window manager so that the title bar shows as a user sees it.
#
#   docs/make_screenshots.sh [BUILD_DIR]     (after `make build`)
#
# Needs xvfb, openbox, xdotool, x11-utils and imagemagick (`make deps`).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program=$build/app/wx/veltrane
[ -x "$program" ] || { echo "build the program first: make build" >&2; exit 1; }

if [ -z "${VELTRANE_ON_VIRTUAL_DISPLAY:-}" ]; then
  exec env VELTRANE_ON_VIRTUAL_DISPLAY=1 \
    xvfb-run -a -s "-screen 0 2400x1600x24" "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# The title bar shows the buttons the window asks for; the window can't be
# resized, so it has no maximise button.
mkdir -p "$work/openbox"
sed 's|<titleLayout>[A-Z]*</titleLayout>|<titleLayout>NLIC</titleLayout>|' \
  /etc/xdg/openbox/rc.xml > "$work/openbox/rc.xml"
XDG_CONFIG_HOME=$work openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
sleep 1  # a window mapped before the manager runs is never shown as active

# Shoots one window with its frame into the given file.
shoot() {
  local window=$1 file=$2 left right top bottom x y width height
  read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS |
                                    sed 's/.*= //; s/,//g')
  eval "$(xwininfo -id "$window" | sed -n \
    's/^ *Absolute upper-left X: *\(-*[0-9]*\)/X=\1/p; s/^ *Absolute upper-left Y: *\(-*[0-9]*\)/Y=\1/p;
     s/^ *Width: *\([0-9]*\)/WIDTH=\1/p; s/^ *Height: *\([0-9]*\)/HEIGHT=\1/p')"
  x=$((X - left)); y=$((Y - top))
  width=$((WIDTH + left + right)); height=$((HEIGHT + top + bottom))
  import -window root -crop "${width}x${height}+${x}+${y}" +repage "$file"
  echo "$file: ${width}x${height}"
}

# Starts the program (with the environment given) and shoots its window.
start_and_shoot() {
  local file=$1; shift
  env "$@" "$program" &
  pids+=($!)
  main=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltrane$' | head -1)
  for _ in $(seq 50); do
    xdotool windowactivate --sync "$main" >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep 1  # let the frame and the first paint settle
  shoot "$main" "$file"
}

# On a display at twice the scale first; that program then ends.
start_and_shoot docs/veltrane-2x.png GDK_SCALE=2
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
start_and_shoot docs/veltrane.png GDK_SCALE=1

# The About box opens on a click on the icon, which sits in the frame at the
# upper right: about 93% across and 27% down the main window's client area.
eval "$(xwininfo -id "$main" | sed -n \
  's/^ *Width: *\([0-9]*\)/MAIN_WIDTH=\1/p; s/^ *Height: *\([0-9]*\)/MAIN_HEIGHT=\1/p')"
xdotool mousemove --window "$main" $((MAIN_WIDTH * 930 / 1000)) $((MAIN_HEIGHT * 27 / 100)) click 1
about=$(timeout 20 xdotool search --sync --onlyvisible --name '^About Veltrane$' | head -1)
sleep 1
xdotool mousemove 0 0
shoot "$about" docs/about.png

# The main window in German, as a German user sees it.
xdotool key Escape
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
start_and_shoot docs/veltrane-de.png GDK_SCALE=1 \
  tests/support/in_locale.sh de_DE.UTF-8 "$build/test-locales" "$build/locale"
