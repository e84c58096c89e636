#!/usr/bin/env bash
# Reading a file through `veltrane-cli decrypt -c` against reading it with
# `cat`: a 1 GiB file in /dev/shm, both written to /dev/null, seven pairs
# taking turns after one to warm up; once with a key as long as the file
# and once with a key of 4 KiB. Prints the medians and the median ratios.
set -euo pipefail
cli=$1
pairs=7
work=$(mktemp -d /dev/shm/veltrane-stdout-XXXXXX)
trap 'rm -rf "$work"' EXIT
head -c 1G /dev/urandom >"$work/data"
head -c 1G /dev/urandom >"$work/long.key"
head -c 4096 /dev/urandom >"$work/short.key"

seconds() {
  local start end
  start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for key in long short; do
  cats=() passes=() ratios=()
  seconds cat "$work/data" >/dev/null
  seconds "$cli" decrypt -c -q -k "$work/$key.key" "$work/data" >/dev/null
  for _ in $(seq $pairs); do
    c=$(seconds cat "$work/data")
    p=$(seconds "$cli" decrypt -c -q -k "$work/$key.key" "$work/data")
    cats+=("$c") passes+=("$p") ratios+=("$(echo "$p / $c" | bc -l)")
  done
  printf 'decrypt -c, %s key: %.0f MB/s; cat: %.0f MB/s; ratio %.2f (median of %d; target <= 1.3)\n' "$key" \
    "$(echo "1073.741824 / $(printf '%s\n' "${passes[@]}" | median)" | bc -l)" \
    "$(echo "1073.741824 / $(printf '%s\n' "${cats[@]}" | median)" | bc -l)" \
    "$(printf '%s\n' "${ratios[@]}" | median)" "$pairs"
done
