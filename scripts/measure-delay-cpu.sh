#!/usr/bin/env bash
# Runs the real program headless through its start-up sequence and the drive monitor, a
# stretch spent in Delay waits and idle polling, and prints the CPU seconds it used per
# wall-clock second (target: below 0.01).
#   bash scripts/measure-delay-cpu.sh [seconds]     default 13
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-13}
[ -x build/tarnwick ] || bash scripts/build.sh build

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/stick" "$work/disk" "$work/run"
chmod 700 "$work/run"

# One hard disk (a wait of 1 s for its scan) and one stick, pulled out halfway through
# (the monitor's removal message and its wait of 1 s).
TMPDIR=$work XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen \
  TARNWICK_DRIVES="removable=$work/stick;fixed=$work/disk" ./build/tarnwick 2>"$work/log" &
pid=$!

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
ns() { cat /proc/"$pid"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }

# Timer1 fires after 1 s; from 1.5 s on the program only waits and polls.
sleep 1.5
t0=$(date +%s.%N)
c0=$(ticks)
n0=$(ns)
sleep "$(awk -v s="$seconds" 'BEGIN { print s / 2 }')"
rmdir "$work/stick"
sleep "$(awk -v s="$seconds" 'BEGIN { print s / 2 }')"
t1=$(date +%s.%N)
c1=$(ticks)
n1=$(ns)
hz=$(getconf CLK_TCK)

awk -v t0="$t0" -v t1="$t1" -v c0="$c0" -v c1="$c1" -v n0="$n0" -v n1="$n1" -v hz="$hz" 'BEGIN {
  wall = t1 - t0
  printf "wall %.2f s, CPU %.3f s (utime+stime of /proc/<pid>/stat, %d ticks a second)\n", wall, (c1 - c0) / hz, hz
  printf "CPU seconds per wall second: %.4f (stat)  %.5f (schedstat, ns)\n", (c1 - c0) / hz / wall, (n1 - n0) / 1e9 / wall
  exit ((c1 - c0) / hz / wall < 0.01 ? 0 : 1)
}'
