#!/usr/bin/env bash
# The drive monitor's tick over this machine's real mount table, before and after mounting
# COUNT (default 270) small ext4 images through loop devices, as on a build farm.
# Goal: below 1 ms a tick with 300 mounts. Needs root, and loop devices.
#   bash bench/monitor-tick-loop-mounts.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
count=${COUNT:-270}
[ "$(id -u)" = 0 ] || { echo "needs root to mount loop images" >&2; exit 1; }
cmake --build "$build" --target MonitorTickBench >/dev/null
bench=$build/bench/MonitorTickBench

work=$(mktemp -d /tmp/tarnwick-loops-XXXXXX)
cleanup() {
  for m in "$work"/m*; do
    mountpoint -q "$m" 2>/dev/null && umount "$m"
  done
  rm -rf "$work"
}
trap cleanup EXIT

tick() {
  "$bench" --benchmark_filter=ThisMachine --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true 2>/dev/null |
    awk '/_(median|mean)/ { printf "  %s %s %s %s\n", $1, $4, $5, $NF }'
}

echo "before: $(wc -l </proc/self/mountinfo) mounts"
tick
truncate -s 2M "$work/image"
mkfs.ext4 -q -F "$work/image"
for i in $(seq "$count"); do
  cp --sparse=always "$work/image" "$work/i$i"
  mkdir "$work/m$i"
  mount -o loop "$work/i$i" "$work/m$i"
done
echo "after: $(wc -l </proc/self/mountinfo) mounts"
tick
