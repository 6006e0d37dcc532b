#!/usr/bin/env bash
# Makes the README's picture of the full scan's closing box, docs/screenshot-fullscan.png, of
# the real window under Xvfb, over a sample stick whose worm hid the folder Photos and left a
# hidden program of its name and an autorun.inf:
#   bash scripts/fullscan-screenshot.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-run}
if [ "${2:-}" != "--inside" ]; then
  bash scripts/setup.sh --test
  TARGETS="tarnwick companion fullscan_rules" bash scripts/build.sh "$build" \
    -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stick=$work/STICK
bash scripts/sample-stick.sh "$stick" 2>/dev/null
# What the worm hid, and its own files hidden as well.
for item in Photos:0x16 Photos.exe:0x22 setup.exe:0x22; do
  setfattr -n user.DOSATTRIB -v "\"${item#*:}\"" "$stick/${item%%:*}"
done
mkdir -p "$work/run" docs
chmod 700 "$work/run"

program=$(pwd)/$build/tarnwick
reader=$(pwd)/scripts/test.d/atspi-read.py
docs=$(pwd)/docs
cat >"$work/session.sh" <<INNER
set -eu
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=\$!
trap 'kill \$bus \$pid 2>/dev/null' EXIT
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 TARNWICK_DRIVES="removable=$stick"
"$program" &
pid=\$!
/usr/bin/python3 "$reader" click \$pid "检测到 $stick盘已连接！" "完全扫描" >/dev/null
/usr/bin/python3 "$reader" click \$pid "检测到 $stick盘已连接！" "立即扫描（S)" >/dev/null
/usr/bin/python3 "$reader" show \$pid "完全扫描已完成！" >/dev/null
sleep 1
# The main window with the box over it.
window=\$(xdotool search --sync --onlyvisible --name '^Tarnwick Ver' | head -n 1)
eval "\$(xdotool getwindowgeometry --shell "\$window")"
import -window root -crop "\${WIDTH}x\${HEIGHT}+\${X}+\${Y}" +repage "$docs/screenshot-fullscan.png"
INNER
TMPDIR=$work XDG_RUNTIME_DIR=$work/run XDG_STATE_HOME=$work/state HOME=$work timeout 120 \
  xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$work/session.sh" 2>"$work/log" ||
  { grep -v '^dbus-daemon' "$work/log" >&2; echo "FAILED: screenshot" >&2; exit 1; }
echo "docs/screenshot-fullscan.png"
