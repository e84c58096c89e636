#!/usr/bin/env bash
# How fast veltrane-cli keygen makes a 1 GiB key in /dev/shm: three runs,
# the median printed in MB/s (10^6 bytes a second).
# Usage: bench/keygen_speed.sh [PATH_TO_VELTRANE_CLI]
set -euo pipefail
cli=${1:-build/cli/veltrane-cli}
work=$(mktemp -d /dev/shm/veltrane-keygen-XXXXXX)
trap 'rm -rf "$work"' EXIT
bytes=$((1 << 30))
speeds=()
for run in 1 2 3; do
  start=$(date +%s.%N)
  "$cli" keygen -n 1G "$work/key$run"
  end=$(date +%s.%N)
  [ "$(stat -c %s "$work/key$run")" = "$bytes" ] || { echo "key $run has the wrong size" >&2; exit 1; }
  rm -f "$work/key$run"
  speeds+=("$(awk -v b="$bytes" -v s="$start" -v e="$end" 'BEGIN { print b / (e - s) / 1e6 }')")
done
median=$(printf '%s\n' "${speeds[@]}" | sort -n | sed -n 2p)
printf 'keygen: %.0f MB/s (median of 3, 1 GiB key in /dev/shm)\n' "$median"
