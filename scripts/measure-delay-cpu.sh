#!/usr/bin/env bash
# Runs the real program headless through its start-up hard-disk scan, a stretch spent almost
# wholly in Delay waits (2 s, then 1 s for each of eight fixed disks, then 2 s), and prints the
# CPU seconds it used per wall-clock second (target: below 0.01).
#   bash scripts/measure-delay-cpu.sh
set -euo pipefail
cd "$(dirname "$0")/.."
disks=8
[ -x build/tarnwick ] || bash scripts/build.sh build

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/stick" "$work/run"
drives="removable=$work/stick"
for i in $(seq "$disks"); do
  mkdir -p "$work/disk$i"
  drives="$drives;fixed=$work/disk$i"
done
chmod 700 "$work/run"

start=$(date +%s.%N)
TMPDIR=$work XDG_RUNTIME_DIR=$work/run QT_QPA_PLATFORM=offscreen \
  TARNWICK_DRIVES="$drives" ./build/tarnwick 2>"$work/log" &
pid=$!

ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
ns() { cat /proc/"$pid"/task/*/schedstat | awk '{ s += $1 } END { print s }'; }
# Sleeps until the given number of seconds after the start.
sleep_until() { sleep "$(awk -v s="$1" -v t0="$start" -v now="$(date +%s.%N)" \
  'BEGIN { d = t0 + s - now; print (d > 0 ? d : 0) }')"; }

# Timer1 fires 1 s after the window shows and waits 1 s more; the scan then waits 2 s, 1 s
# per disk and 2 s at its end, about 6 + disks seconds after the start. The window below
# leaves half a second at each end for the start-up itself and the monitor's first tick.
sleep_until 2.5
t0=$(date +%s.%N)
c0=$(ticks)
n0=$(ns)
sleep_until "$(awk -v n="$disks" 'BEGIN { print n + 5.5 }')"
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
