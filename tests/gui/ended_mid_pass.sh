#!/bin/bash
# The window program asked to end from outside in the middle of a pass: a
# kill (SIGTERM), a closed terminal (SIGHUP) and its X server going away.
# Each time the pass stops as Escape stops it: no temporary file is left,
# the data file is the very file it was, and the program exits with the
# conventional status (128 and the signal; 1 when the display went away).
# Each run has an X server of its own, since one of them kills it.
# usage: ended_mid_pass.sh PROGRAM
set -u
program=$1
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
# Sparse but for a key's worth of real bytes: long enough to be caught
# mid-pass, quick to make.
big=$work/big.img
head -c 1048576 /dev/urandom >"$big"
truncate -s 2G "$big"
head -c 1048576 /dev/urandom >"$work/key"
before=$(stat -c '%i %s' "$big")
failed=0

end_mid_pass() { # how (TERM, HUP or display), the exit status expected
  rm -f "$work/display" "$work"/big.1*
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  local xvfb=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$work/display")
  openbox --sm-disable >/dev/null 2>&1 &
  "$program" >"$work/log" 2>&1 &
  local app=$! window=""
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Veltrane$' 2>/dev/null | head -1)
    [ -n "$window" ] && xdotool windowactivate --sync "$window" 2>/dev/null && break
    sleep 0.1
  done
  # From the first Browse button: the file, the key, then Encrypt.
  xdotool key Tab type "$big"
  xdotool key Tab Tab type "$work/key"
  xdotool key Tab Tab Tab space
  local title=""
  for _ in $(seq 400); do
    title=$(xdotool getwindowname "$window" 2>/dev/null)
    case $title in Working*) break ;; esac
    sleep 0.05
  done
  case $1 in
    display) kill -9 $xvfb ;;
    *) kill -"$1" $app ;;
  esac
  wait $app
  local status=$?
  kill $xvfb 2>/dev/null
  wait $xvfb 2>/dev/null
  local fault=""
  case $title in Working*) ;; *) fault="the pass was never seen to start (title '$title')" ;; esac
  [ "$status" = "$2" ] || fault="$fault; exit status $status, not $2"
  [ "$(stat -c '%i %s' "$big")" = "$before" ] || fault="$fault; the data file was replaced"
  ls "$work" | grep -q '\.1' && fault="$fault; left behind: $(ls "$work" | tr '\n' ' ')"
  if [ -n "$fault" ]; then
    echo "FAULT ($1):${fault#;} -- the program said: $(cat "$work/log")"
    failed=1
  fi
}

end_mid_pass TERM 143
end_mid_pass HUP 129
end_mid_pass display 1
exit $failed
