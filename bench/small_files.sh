#!/usr/bin/env bash
# Many small files: the fixed cost of a pass, against an in-place peer.
#
# A folder of 5,000 files of 4 KiB, encrypted with `veltrane-cli -r` and
# with `ccrypt -e -r`, three runs each, interleaved; prints files per second
# for both (medians) and the median ratio of their times. Once on /dev/shm
# (memory, so no flush cost hides the per-file work), once on the disk the
# build folder lies on, where every file must reach the disk before the
# command says it is done (the peer flushes nothing). The flushes a file
# costs there are counted with strace. The peer is a Debian package
# installed for this benchmark only.
set -euo pipefail
cli=$1
count=${SMALL_FILES:-5000}
runs=3
command -v ccrypt >/dev/null || {
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ccrypt strace >/dev/null
}
disk=$(mktemp -d "$(dirname "$(dirname "$(readlink -f "$cli")")")/small-files-XXXXXX")
memory=$(mktemp -d /dev/shm/veltrane-small-XXXXXX)
trap 'rm -rf "$disk" "$memory"' EXIT

# A fresh folder for every run, so that each tool meets plain files.
fill() {
  rm -rf "$1/d"; mkdir "$1/d"
  head -c $((count * 4096)) /dev/urandom | split -a 5 -d -b 4096 - "$1/d/f"
  sync -f "$1"
}
seconds() {
  local start end
  start=$(date +%s.%N); "$@" >/dev/null 2>&1; end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

# $1: the folder to work in; $2: how the lines name it; $3: the ratio's target.
measure() {
  local work=$1 where=$2 target=$3 ours=() peer=() ratios=() a b
  head -c 4096 /dev/urandom >"$work/key"
  for _ in $(seq $runs); do
    fill "$work"; a=$(seconds "$cli" encrypt -r -q -k "$work/key" "$work/d")
    fill "$work"; b=$(seconds ccrypt -e -r -f -K veltrane-bench "$work/d")
    ours+=("$a") peer+=("$b") ratios+=("$(echo "$a / $b" | bc -l)")
  done
  local mo mp mr
  mo=$(median "${ours[@]}") mp=$(median "${peer[@]}") mr=$(median "${ratios[@]}")
  printf 'small files%s: %.0f files/s veltrane-cli -r, %.0f files/s ccrypt -e -r (%d x 4 KiB %s, median of %d)\n' \
    "${where:+ $where}" "$(echo "$count / $mo" | bc -l)" "$(echo "$count / $mp" | bc -l)" "$count" \
    "on $(df --output=fstype "$work" | tail -1) at $work" "$runs"
  printf 'small files%s ratio veltrane/ccrypt: %.2f (median; target <= %s)\n' "${where:+ $where}" "$mr" "$target"
}

measure "$memory" "" 2.0
measure "$disk" "on disk" 1.5
if command -v strace >/dev/null; then
  fill "$disk"
  flushes=$(strace -f -qq -c -e trace=fsync,fdatasync,syncfs -o /dev/stdout \
    "$cli" encrypt -r -q -k "$disk/key" "$disk/d" | awk '$NF ~ /^(fsync|fdatasync|syncfs)$/ {n += $(NF-1)} END {print n+0}')
  printf 'small files on disk flushes: %.3f per file (%d fsync, fdatasync and syncfs calls for %d files; alone a file takes 2)\n' \
    "$(echo "$flushes / $count" | bc -l)" "$flushes" "$count"
fi
