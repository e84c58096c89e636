#!/usr/bin/env bash
# Many small files: the fixed cost of a pass, against an in-place peer.
#
# A folder of 5,000 files of 4 KiB on /dev/shm (memory, so no flush cost
# hides the per-file work), encrypted with `veltrane-cli -r` and with
# `ccrypt -e -r`, three runs each, interleaved; prints files per second for
# both (medians) and the median ratio of their times. The peer is a Debian
# package installed for this benchmark only.
set -euo pipefail
cli=$1
count=${SMALL_FILES:-5000}
runs=3
command -v ccrypt >/dev/null || {
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ccrypt >/dev/null
}
work=$(mktemp -d /dev/shm/veltrane-small-XXXXXX)
trap 'rm -rf "$work"' EXIT
head -c 4096 /dev/urandom >"$work/key"

# A fresh folder for every run, so that each tool meets plain files.
fill() {
  rm -rf "$work/d"; mkdir "$work/d"
  head -c $((count * 4096)) /dev/urandom | split -a 5 -d -b 4096 - "$work/d/f"
}
seconds() {
  local start end
  start=$(date +%s.%N); "$@" >/dev/null 2>&1; end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
ours=() peer=() ratios=()
for _ in $(seq $runs); do
  fill; a=$(seconds "$cli" encrypt -r -q -k "$work/key" "$work/d")
  fill; b=$(seconds ccrypt -e -r -f -K veltrane-bench "$work/d")
  ours+=("$a") peer+=("$b") ratios+=("$(echo "$a / $b" | bc -l)")
done
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
mo=$(median "${ours[@]}") mp=$(median "${peer[@]}") mr=$(median "${ratios[@]}")
printf 'small files: %.0f files/s veltrane-cli -r, %.0f files/s ccrypt -e -r (%d x 4 KiB in /dev/shm, median of %d)\n' \
  "$(echo "$count / $mo" | bc -l)" "$(echo "$count / $mp" | bc -l)" "$count" "$runs"
printf 'small files ratio veltrane/ccrypt: %.2f (median; target <= 2.0)\n' "$mr"
