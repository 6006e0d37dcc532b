#!/usr/bin/env bash
# The Windows build's start-up under Wine, next to a trivial Win32 program (one window, one
# line of Chinese text): the time from exec until the main window is shown, painted and its
# text readable (median of several runs, after one warm-up) and the CPU time the program spent
# until then; the resident memory once the start-up scan is over, and the CPU seconds per
# second while it then sits idle (goal: below 0.001). A few lines per program.
#   bash scripts/measure-windows-startup.sh [tarnwick.exe ...]
# Without arguments it measures build-win/tarnwick.exe (built first). RUNS (default 9) and
# IDLE (seconds, default 30) change the effort; SMAPS=1 lists where the resident memory is.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-9}
idle=${IDLE:-30}
settle=10 # the start-up scan of C: and Z: ends about eight seconds after the window shows

programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
  bash scripts/build-windows.sh build-win >/dev/null
  programs=(build-win/tarnwick.exe)
fi

work=$(mktemp -d /tmp/tarnwick-measure-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
unset LC_ALL
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
xvfb=""
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

gxx=x86_64-w64-mingw32-g++-posix
"$gxx" -std=c++20 -O2 -static -municode -o "$work/startup_probe.exe" bench/win32/StartupProbe.cpp
mkdir -p "$work/trivial"
"$gxx" -std=c++20 -O2 -static -municode -mwindows -o "$work/trivial/trivial.exe" \
  bench/win32/TrivialWindow.cpp

for n in $(seq 150 199); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  break
done
bash scripts/wine-prefix.sh "$WINEPREFIX"

winpath() { echo "Z:$(readlink -f "$1" | tr / '\\')"; }

# The Linux process that runs a Windows program: its first argument is the program's path.
linux_pid() {
  local exe=$1 p first
  for p in $(pgrep -f -- "$(basename "$work")"); do
    first=$(tr '\0' '\n' <"/proc/$p/cmdline" 2>/dev/null | head -n1) || continue
    if [ "${first,,}" = "${exe,,}" ]; then
      echo "$p"
      return
    fi
  done
}
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }

# run <exe> <title> <hold>: prints the start-up time in ms; with hold, also the idle CPU
# seconds per second and the resident memory in MB.
run() {
  local exe=$1 title=$2 hold=$3 out=$work/probe.out done=$work/done
  rm -f "$done" "$out"
  "$wine" "$work/startup_probe.exe" "$(winpath "$exe")" "$title" "$(winpath "$done")" >"$out" &
  local probe=$!
  for _ in $(seq 600); do
    grep -q '^ready' "$out" 2>/dev/null && break
    sleep 0.1
  done
  local ready
  ready=$(tr -d '\r' <"$out" | awk '/^ready/ { print $2 }')
  tr -d '\r' <"$out" | awk '/^ready/ { print $4, $6 }' >>"$work/phases"
  if [ -n "$hold" ]; then
    sleep "$settle"
    local pid
    pid=$(linux_pid "$(winpath "$exe")")
    local n0 t0 n1 t1
    n0=$(cpu_ns "$pid")
    t0=$(date +%s.%N)
    sleep "$idle"
    n1=$(cpu_ns "$pid")
    t1=$(date +%s.%N)
    local rss
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status")
    if [ -n "${SMAPS:-}" ]; then
      # Where the memory is: the largest mappings by resident size, in kB.
      awk '/^[0-9a-f]+-[0-9a-f]+ / { name = $6 == "" ? "[anonymous]" : $6 }
           /^Rss:/ { rss[name] += $2 } END { for (n in rss) print rss[n], n }' \
        "/proc/$pid/smaps" | sort -rn | head -n 15 >&2
    fi
    LC_ALL=C awk -v r="$ready" -v n0="$n0" -v n1="$n1" -v t0="$t0" -v t1="$t1" -v rss="$rss" \
      'BEGIN { printf "%s %.5f %.1f\n", r, (n1 - n0) / 1e9 / (t1 - t0), rss / 1024 }'
  else
    # The CPU time the program used to get there: less at the mercy of a loaded machine than
    # the wall-clock time.
    local pid
    pid=$(linux_pid "$(winpath "$exe")")
    echo "$ready $(($(cpu_ns "$pid") / 1000000))"
    sleep 0.5
  fi
  touch "$done"
  wait "$probe" || true
}

measure() {
  local exe=$1 title=$2 name=$3 times=() i
  run "$exe" "$title" "" >/dev/null # warm-up: Wine's first start of a program is slower
  rm -f "$work/phases"
  local cpus=() line
  for i in $(seq "$runs"); do
    line=$(run "$exe" "$title" "")
    times+=("${line%% *}")
    cpus+=("${line##* }")
  done
  local held
  held=$(run "$exe" "$title" hold)
  local median fastest
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  fastest=$(printf '%s\n' "${times[@]}" | sort -n | head -n1)
  local cpu_median
  cpu_median=$(printf '%s\n' "${cpus[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  read -r _ cpu rss <<<"$held"
  local phases
  local made shown
  made=$(awk '{ print $1 }' "$work/phases" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  shown=$(awk '{ print $2 }' "$work/phases" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
  phases="window made ${made} ms, shown ${shown} ms"
  LC_ALL=C printf '%s\n  exec->window readable %.1f ms median, %.1f ms fastest (of %d: %s; %s)\n  CPU time until then %d ms (median)\n  idle %.5f CPU-s/s, resident %.1f MB\n' \
    "$name" "$median" "$fastest" "$runs" "$(echo "${times[*]}" | tr ' ' ',')" "$phases" "$cpu_median" "$cpu" "$rss"
}

measure "$work/trivial/trivial.exe" Trivial "trivial Win32 program"
i=0
for program in "${programs[@]}"; do
  dir=$work/app$((++i))
  mkdir -p "$dir"
  cp "$program" "$dir/tarnwick.exe"
  cp src/system/systemset.cmd "$dir/systemset.dll"
  measure "$dir/tarnwick.exe" "Tarnwick Ver 9.9.0.8 BETA" "$program"
done
