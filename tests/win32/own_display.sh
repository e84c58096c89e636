# Sourced by the Wine tests that show windows: a work folder, a clean-up that
# stops what the test started, polling, and a virtual display of the test's
# own with a fresh Wine server on it. A Wine server that has served a program
# without a display keeps its desktop without one, and no window opens on it
# any more; a window manager on it, and a window given the keyboard. The
# sourcing script defines fail() first.

work=$(mktemp -d)
pids=()
cleanup() {
  # The Wine server and its desktop were started on this display: they go
  # with it, or the next test's windows would be made on a display that is
  # gone.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a condition, for up to 30 s.
until_true() {
  for _ in $(seq 300); do
    if eval "$1"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# own_display WIDTHxHEIGHT: the display, then the server (started apart from
# the test's output, as run_ctest.sh does).
own_display() {
  local fd number
  exec {fd}<> <(:)
  Xvfb -displayfd "$fd" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  read -r -t 30 number <&"$fd" || fail "no virtual display"
  export DISPLAY=":$number"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 </dev/null || true
}

# openbox on that display, once it manages windows.
window_manager() {
  openbox >/dev/null 2>&1 &
  pids+=($!)
  until_true 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window' || fail "no window manager"
}

# Waits for a visible window titled $1 (a pattern) and gives it the keyboard;
# it is then in $window.
take_keyboard() {
  local title=$1
  until_true 'window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1); [ -n "$window" ]' \
    || fail "no window $title showed"
  until_true 'xdotool windowactivate --sync "$window" >/dev/null 2>&1 && [ "$(xdotool getactivewindow)" = "$window" ]' \
    || fail "the window $title never got the keyboard"
}
