#!/bin/bash
# The window program asked to end from outside: a kill (SIGTERM), a closed
# terminal (SIGHUP), Ctrl-C (SIGINT) and its X server going away. In the
# middle of a pass, in its last flush, with a notice holding it while its
# temporary file is still there, and with a box open, the program ends with
# the conventional status (128 and the signal; 1 when the display went
# away), no temporary file left and the data file the very file it was. A
# pass that had already replaced its file when the signal came is said to
# have finished. Each run has an X server of its own, since some kill it;
# a preloaded library holds the pass's flushes where the test needs it to
# wait.
# usage: ended_mid_pass.sh PROGRAM HOLD_FLUSH_LIBRARY
set -u
program=$1
hold_library=$2
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
# Sparse but for a key's worth of real bytes: long enough to be caught
# mid-pass, quick to make.
big=$work/big.img
head -c 1048576 /dev/urandom >"$big"
truncate -s 2G "$big"
small=$work/small.img
head -c 65536 /dev/urandom >"$small"
head -c 1048576 /dev/urandom >"$work/key"
# Held open at both ends here, so that neither the held flush nor the
# test's release ever waits for the other to open it.
mkfifo "$work/gate"
exec 5<>"$work/gate"
failed=0 app="" xvfb="" window="" fault=""

# An X server, a window manager, and the program with its window active.
# `hold` names the flush to hold (file or folder), or is empty.
hold=""
start() { # program arguments
  rm -f "$work/display" "$work/held" "$work"/*.1*
  fault=""
  # A release the last case's program never took is not for this one.
  while read -r -n 1 -t 0.05 -u 5 _; do :; done
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten local 3>"$work/display" 2>/dev/null &
  xvfb=$!
  # A loaded machine may take a while to start it.
  for _ in $(seq 600); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$work/display")
  openbox --sm-disable >/dev/null 2>&1 &
  if [ -n "$hold" ]; then
    LD_PRELOAD=$hold_library HOLD_FLUSH_OF=$hold HOLD_FLUSH_GATE=$work/gate HOLD_FLUSH_HELD=$work/held \
      "$program" "$@" >"$work/log" 2>&1 &
  else
    "$program" "$@" >"$work/log" 2>&1 &
  fi
  app=$! window=""
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Veltrane$' 2>/dev/null | head -1)
    [ -n "$window" ] && xdotool windowactivate --sync "$window" 2>/dev/null && break
    sleep 0.1
  done
}

encrypt() { # the data file
  # From the first Browse button: the file, the key, then Encrypt.
  xdotool key Tab type "$1"
  xdotool key Tab Tab type "$work/key"
  xdotool key Tab Tab Tab space
}

wait_for() { # a condition, what it is
  for _ in $(seq 300); do eval "$1" && return 0; sleep 0.05; done
  fault="$fault; never $2"
  return 1
}

# The program must end by itself soon; it is killed if it doesn't.
expect_end() { # the exit status, the data file, its identity before, replaced|kept, a word its output holds
  local status
  for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
  kill -0 $app 2>/dev/null && { fault="$fault; still running, killed"; kill -9 $app; }
  wait $app
  status=$?
  kill $xvfb 2>/dev/null
  wait $xvfb 2>/dev/null
  [ "$status" = "$1" ] || fault="$fault; exit status $status, not $1"
  case $4 in
    replaced) [ "$(stat -c '%i %s' "$2")" != "$3" ] || fault="$fault; the data file was not replaced" ;;
    kept) [ "$(stat -c '%i %s' "$2")" = "$3" ] || fault="$fault; the data file was replaced" ;;
  esac
  ls "$work" | grep -q '\.1' && fault="$fault; left behind: $(ls "$work" | tr '\n' ' ')"
  [ -z "$5" ] || grep -q "$5" "$work/log" || fault="$fault; the output does not say '$5'"
  if [ -n "$fault" ]; then
    echo "FAULT ($what):${fault#;} -- the program said: $(cat "$work/log")"
    failed=1
  fi
}

end_mid_pass() { # how (TERM, HUP or display), the exit status expected
  what=mid-pass-$1 hold=""
  start
  local before
  before=$(stat -c '%i %s' "$big")
  encrypt "$big"
  wait_for 'case $(xdotool getwindowname "$window" 2>/dev/null) in Working*) true ;; *) false ;; esac' \
    "saw the pass start"
  case $1 in
    display) kill -9 $xvfb ;;
    *) kill -"$1" $app ;;
  esac
  expect_end "$2" "$big" "$before" kept stopped
}

end_mid_pass TERM 143
end_mid_pass HUP 129
end_mid_pass display 1

# The display gone while the pass's last flush is slow: the program waits
# for the pass, whose stop then comes before any rename.
what=display-in-flush hold=file
start
before=$(stat -c '%i %s' "$small")
encrypt "$small"
wait_for '[ -e "$work/held" ]' "held the flush"
kill -9 $xvfb
wait_for 'grep -q "display has gone away" "$work/log"' "said at once that the display went away"
printf x >&5
expect_end 1 "$small" "$before" kept stopped

# The display gone while a notice holds the pass with its temporary file
# still there (the key file changed during the pass): the notice counts as
# closed, and the temporary file goes.
what=display-at-a-notice hold=file
start
before=$(stat -c '%i %s' "$small")
encrypt "$small"
wait_for '[ -e "$work/held" ]' "held the flush"
touch "$work/key"
printf x >&5
wait_for 'xdotool search --onlyvisible --name "^Encrypt file error.$" >/dev/null 2>&1' "showed the notice"
ls "$work" | grep -q '\.1' || fault="$fault; no temporary file beside the notice"
kill -9 $xvfb
expect_end 1 "$small" "$before" kept "changed"

# SIGTERM once the result has taken the file's name (the folder's flush):
# the pass is not undone, and the program says it had finished.
what=term-after-rename hold=folder
start
before=$(stat -c '%i %s' "$small")
encrypt "$small"
wait_for '[ -e "$work/held" ]' "held the folder's flush"
kill -TERM $app
wait_for 'grep -q "asked to end" "$work/log"' "said at once that it was asked to end"
printf x >&5
expect_end 143 "$small" "$before" replaced finished

# A box open: the notice of a folder it was started with, the About
# box, the file chooser. The box closes and the program ends.
end_with_a_box() { # the signal, the exit status expected, the box's title, keys that open it, program arguments
  what="$1-with-'$3'-open" hold=""
  start "${@:5}"
  [ -z "$4" ] || xdotool key "$4"
  wait_for "xdotool search --onlyvisible --name '^$3\$' >/dev/null 2>&1" "showed the box"
  kill -"$1" $app
  expect_end "$2" "" "" "" ""
}

mkdir -p "$work/folder"
end_with_a_box TERM 143 "Open file error." "" "$work/folder"
end_with_a_box HUP 129 "About Veltrane" F1
end_with_a_box INT 130 "Select a file" space

exit $failed
