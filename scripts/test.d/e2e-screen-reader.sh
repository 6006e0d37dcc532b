#!/usr/bin/env bash
# The real program under Xvfb against a declared stick, read the way a screen reader reads
# it (AT-SPI): the start-up sequence runs to its end and the drive monitor reports the stick.
# Then a second copy shows its box and ends without a window, leaving the first one running;
# and a third copy ends at once when 退出 is pressed in the middle of a start-up wait.
set -euo pipefail
cd "$(dirname "$0")/../.."
binary=$(pwd)/${TARNWICK_BUILD_DIR:-build}/tarnwick
reader=$(pwd)/scripts/test.d/atspi-read.py
[ -x "$binary" ] || { echo "build first: $binary is missing" >&2; exit 1; }
[ -f "$(dirname "$binary")/systemset.dll" ] || { echo "systemset.dll is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/stick" "$work/run"
chmod 700 "$work/run"

cat >"$work/session.sh" <<INNER
set -u
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=\$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 TARNWICK_DRIVES="removable=$work/stick"
"$binary" &
first=\$!
rc=0
/usr/bin/python3 "$reader" show \$first "√Tarnwick完整性良好" "检测到 $work/stick盘已连接！" || rc=1
if [ \$rc -eq 0 ]; then
  "$binary" &
  second=\$!
  out=\$(/usr/bin/python3 "$reader" press \$second "Tarnwick进程已经运行！" "确定") || rc=1
  echo "second copy: \$out"
  case "\$out" in *系统提示*) ;; *) echo "no title 系统提示" >&2; rc=1 ;; esac
  case "\$out" in *关于我们*) echo "the second copy showed its window" >&2; rc=1 ;; esac
  wait \$second || { echo "the second copy did not end cleanly" >&2; rc=1; }
  kill -0 \$first 2>/dev/null || { echo "the first copy ended" >&2; rc=1; }
fi
kill \$first 2>/dev/null
wait \$first 2>/dev/null
if [ \$rc -eq 0 ]; then
  "$binary" &
  third=\$!
  /usr/bin/python3 "$reader" press \$third "准备扫描本地硬盘，请稍候......" "退出(X)" || { rc=1; kill \$third; }
  if wait \$third; then
    echo "退出 during the start-up wait ended the program"
  else
    echo "退出 did not end the program cleanly" >&2
    rc=1
  fi
fi
kill \$bus 2>/dev/null
exit \$rc
INNER

TMPDIR=$work XDG_RUNTIME_DIR=$work/run XDG_DATA_HOME=$work/data timeout 150 \
  xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$work/session.sh" 2>"$work/log" \
  || { cat "$work/log" >&2; echo "FAILED: screen-reader end-to-end run" >&2; exit 1; }
echo "screen-reader end-to-end run passed"
