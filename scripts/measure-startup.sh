#!/usr/bin/env bash
# The Qt window's start-up and memory under Xvfb, next to a Qt hello window with one line of
# Chinese text (bench/qt/HelloWindow.cpp, built here so that both are measured in the same run):
#  - exec -> first paint: from the moment the shell execs the program until the program has
#    painted its window once (both print that moment when TARNWICK_MARK_FIRST_PAINT is set);
#    min / median of RUNS runs each, taken in turns, after one warm-up run each.
#  - resident memory once the start-up sequence is over (idle), and after a quick scan of a
#    stick with ENTRIES files, started by clicking 快速扫描 and 立即扫描 with xdotool: the peak
#    during the scan and the resident memory once it has settled, after each of two scans.
# Goals: first paint < 100 ms and <= 1.2x the hello window; idle < 40 MiB; no growth that stays.
#   bash scripts/measure-startup.sh [path/to/tarnwick]
# Without an argument it measures build/tarnwick (built first). RUNS (default 9) and ENTRIES
# (default 20000) change the effort.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-9}
entries=${ENTRIES:-20000}
binary=${1:-build/tarnwick}
if [ $# -eq 0 ]; then
  TARGETS="tarnwick companion" bash scripts/build.sh build >/dev/null
fi
binary=$(realpath "$binary")
[ -f "$(dirname "$binary")/systemset.dll" ] || { echo "systemset.dll is missing" >&2; exit 1; }

work=$(mktemp -d /tmp/tarnwick-startup-XXXXXX)
xvfb=
pid=
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck disable=SC2046
g++ -std=c++20 -O2 -fPIC $(pkg-config --cflags Qt6Widgets) -o "$work/hello" \
  bench/qt/HelloWindow.cpp $(pkg-config --libs Qt6Widgets)

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null &
xvfb=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
DISPLAY=:$(cat "$work/display")
export DISPLAY
export QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=0 TMPDIR=$work XDG_DATA_HOME=$work/data
unset DBUS_SESSION_BUS_ADDRESS SESSION_MANAGER
mkdir -p "$work/stick" "$work/data"
export TARNWICK_DRIVES="removable=$work/stick"

# Starts a program with a private runtime folder; sets pid and prints exec -> first paint in ms.
start() {
  local run=$work/run.$RANDOM
  mkdir -m 700 "$run"
  : >"$work/log"
  (
    export XDG_RUNTIME_DIR=$run TARNWICK_MARK_FIRST_PAINT=1
    printf '%s\n' "${EPOCHREALTIME/[.,]/}" >"$work/t0"
    exec "$@" 2>"$work/log"
  ) &
  pid=$!
  for _ in $(seq 1000); do
    grep -q '^first paint ' "$work/log" && break
    kill -0 "$pid" 2>/dev/null || { cat "$work/log" >&2; echo "$1 ended early" >&2; exit 1; }
    sleep 0.01
  done
  awk -v t0="$(cat "$work/t0")" '/^first paint / { printf "%.1f\n", ($3 - t0) / 1000; exit }' \
    "$work/log"
}
stop() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}
kib() { awk -v k="$1" '$1 == k ":" { print $2 }' "/proc/$pid/status"; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
stats() { sort -n | awk '{ v[NR] = $1 } END { printf "%.1f / %.1f ms", v[1], v[int((NR + 1) / 2)] }'; }

: >"$work/hello.ms"
: >"$work/tarnwick.ms"
start "$work/hello" >/dev/null
stop
start "$binary" >/dev/null
stop
for _ in $(seq "$runs"); do
  start "$work/hello" >>"$work/hello.ms"
  stop
  start "$binary" >>"$work/tarnwick.ms"
  stop
done
hello=$(stats <"$work/hello.ms")
tarnwick=$(stats <"$work/tarnwick.ms")
echo "exec -> first paint (min / median of $runs): tarnwick $tarnwick, hello $hello"
awk -v a="$(sort -n "$work/tarnwick.ms" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
  -v b="$(sort -n "$work/hello.ms" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')" \
  'BEGIN { printf "  median ratio %.2f (goal <= 1.2, and < 100 ms)\n", a / b }'

start "$work/hello" >/dev/null
sleep 3
echo "hello idle: RSS $(mib "$(kib VmRSS)") MiB"
stop

# A clean stick of many files: the scan finds nothing and asks nothing.
(cd "$work/stick" && seq -f 'file%06g.txt' "$entries" | xargs touch)

cputicks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
# Waits until the program has used no CPU for two seconds (the monitor's tick is far below a
# clock tick).
settle() {
  local last now quiet=0
  last=$(cputicks)
  while [ "$quiet" -lt 8 ]; do
    sleep 0.25
    now=$(cputicks)
    if [ "$now" = "$last" ]; then quiet=$((quiet + 1)); else quiet=0; fi
    last=$now
  done
}

start "$binary" >/dev/null
# The start-up sequence: its integrity check and hard-disk scan wait about six seconds.
sleep 8
settle
echo "tarnwick idle: RSS $(mib "$(kib VmRSS)") MiB (peak so far $(mib "$(kib VmHWM)") MiB)"

wid=$(xdotool search --sync --pid "$pid" --name 'Tarnwick Ver' | head -n1)
eval "$(xdotool getwindowgeometry --shell "$wid")"
# The menu bar lies above the 397-pixel client surface.
top=$((Y + HEIGHT - 397))
click() {
  xdotool mousemove "$((X + $1))" "$((top + $2))"
  sleep 0.2
  xdotool click 1
}
# The scan shows each phase in the status line and waits between them: it is over once the
# window has looked the same for six seconds (no phase waits that long).
shot() { import -window "$wid" rgb:- 2>/dev/null | md5sum; }
finished() {
  local last now same=0
  last=$(shot)
  for _ in $(seq 180); do
    sleep 1
    now=$(shot)
    if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; fi
    [ "$same" -ge 6 ] && return 0
    last=$now
  done
  echo "the scan did not end" >&2
  exit 1
}
for scan in 1 2; do
  c0=$(cputicks)
  click 470 178 # 快速扫描
  click 490 275 # 立即扫描（S)
  # Out of the label again, as a user moves on.
  xdotool mousemove "$((X + 20))" "$((top + 380))"
  finished
  settle
  c1=$(cputicks)
  echo "after scan $scan of $entries entries: RSS $(mib "$(kib VmRSS)") MiB," \
    "peak $(mib "$(kib VmHWM)") MiB, CPU $(awk -v c="$((c1 - c0))" -v hz="$(getconf CLK_TCK)" \
      'BEGIN { printf "%.2f", c / hz }') s"
done
stop
