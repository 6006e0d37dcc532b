#!/usr/bin/env bash
# Makes the README's pictures of the real window under Xvfb, with a sample stick at
# /media/STICK (in a mount namespace of its own when run as root, so that the real /media
# is not touched):
#   docs/screenshot-main.png   the stick detected, 快速扫描 chosen
#   docs/screenshot-scan.png   the quick scan at work after 立即扫描
#   bash scripts/screenshots.sh
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--inside" ]; then
  bash scripts/setup.sh --test
  TARGETS="tarnwick companion" bash scripts/build.sh build-run \
    -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF
  if [ "$(id -u)" -eq 0 ]; then
    exec unshare --mount --propagation private bash "$0" --inside
  fi
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
media=$work/media
if [ "$(id -u)" -eq 0 ]; then
  mount -t tmpfs -o size=8m tmpfs /media
  media=/media
fi
stick=$media/STICK
bash scripts/sample-stick.sh "$stick" 2>/dev/null
mkdir -p "$work/run" docs
chmod 700 "$work/run"

program=$(pwd)/build-run/tarnwick
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
shot() {
  # The main window, with whatever box is open over it.
  window=\$(xdotool search --sync --onlyvisible --name '^Tarnwick Ver' | head -n 1)
  eval "\$(xdotool getwindowgeometry --shell "\$window")"
  import -window root -crop "\${WIDTH}x\${HEIGHT}+\${X}+\${Y}" +repage "\$1"
}
/usr/bin/python3 "$reader" click \$pid "检测到 $stick盘已连接！" "快速扫描" >/dev/null
/usr/bin/python3 "$reader" show \$pid "检测到 $stick盘已连接！" >/dev/null
shot "$docs/screenshot-main.png"
/usr/bin/python3 "$reader" click \$pid "检测到 $stick盘已连接！" "立即扫描（S)" >/dev/null
/usr/bin/python3 "$reader" show \$pid "伪装文件夹病毒$stick/Photos.exe处理成功！" >/dev/null
shot "$docs/screenshot-scan.png"
INNER
TMPDIR=$work XDG_RUNTIME_DIR=$work/run HOME=$work timeout 120 \
  xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$work/session.sh" 2>"$work/log" ||
  { grep -v '^dbus-daemon' "$work/log" >&2; echo "FAILED: screenshots" >&2; exit 1; }
echo "docs/screenshot-main.png docs/screenshot-scan.png"
