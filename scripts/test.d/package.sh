#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package.sh, checked by lintian (no
# errors), desktop-file-validate and appstreamcli, installed on this machine, started from
# /usr/bin offscreen and under Xvfb (where the screen reader's interface must read the
# integrity check's good result: the companion file was found beside the real program),
# and removed again.
set -euo pipefail
cd "$(dirname "$0")/../.."
reader=$(pwd)/scripts/test.d/atspi-read.py

deb=$(bash scripts/package.sh | tail -n 1)
[ -f "$deb" ] || { echo "no package built" >&2; exit 1; }
echo "built $deb"

lintian --fail-on error --tag-display-limit 0 "$deb"

work=$(mktemp -d)
installed=
cleanup() {
  if [ -n "$installed" ]; then
    apt-get -o DPkg::Lock::Timeout=600 remove -y -qq tarnwick >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$work/content"
desktop=$(cd "$work/content" && echo usr/share/applications/*.desktop)
desktop-file-validate "$work/content/$desktop"
appstreamcli validate --no-net "$work"/content/usr/share/metainfo/*.metainfo.xml

# Two runs of this test on one machine must not install and remove under each other.
exec 9>/tmp/tarnwick-package-test.lock
flock -w 900 9
if dpkg-query -W -f='${Status}' tarnwick 2>/dev/null | grep -q 'install ok installed'; then
  echo "tarnwick is already installed here: the install test leaves it alone (SKIPPED)"
  exit 0
fi
installed=1
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
  --no-install-recommends "./$deb" >/dev/null

[ "$(readlink -f /usr/bin/tarnwick)" = /usr/lib/tarnwick/tarnwick ] ||
  { echo "/usr/bin/tarnwick does not lead to /usr/lib/tarnwick/tarnwick" >&2; exit 1; }
[ -f /usr/lib/tarnwick/systemset.dll ] || { echo "the companion file is missing" >&2; exit 1; }

mkdir -p "$work/home" "$work/tmp" "$work/run" "$work/stick"
chmod 700 "$work/run"
export HOME=$work/home TMPDIR=$work/tmp XDG_RUNTIME_DIR=$work/run
export TARNWICK_DRIVES="removable=$work/stick"

# Offscreen: the program gets past its start (it listens for a later copy) and keeps going.
QT_QPA_PLATFORM=offscreen timeout 60 tarnwick 2>"$work/offscreen.log" &
pid=$!
socket=$XDG_RUNTIME_DIR/tarnwick-$(id -u)/activate
for _ in $(seq 150); do
  [ -S "$socket" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -S "$socket" ] || ! kill -0 "$pid" 2>/dev/null; then
  cat "$work/offscreen.log" >&2
  echo "FAILED: the installed program did not start offscreen" >&2
  exit 1
fi
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "the installed program started offscreen"

version=$(tarnwick --version)
echo "tarnwick --version: $version"
case "$version" in "Tarnwick "[0-9]*) ;; *) echo "FAILED: --version" >&2; exit 1 ;; esac
# Without a window, it runs its companion script: nothing recorded, nothing to undo.
out=$(tarnwick --undo-system)
echo "tarnwick --undo-system: $out"
case "$out" in *无需撤销*) ;; *) echo "FAILED: --undo-system" >&2; exit 1 ;; esac

cat >"$work/session.sh" <<INNER
set -u
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=\$!
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
tarnwick &
program=\$!
rc=0
/usr/bin/python3 "$reader" show \$program "√Tarnwick完整性良好" || rc=1
kill \$program \$bus 2>/dev/null
exit \$rc
INNER
timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash "$work/session.sh" \
  2>"$work/xvfb.log" || { cat "$work/xvfb.log" >&2; echo "FAILED: installed program under Xvfb" >&2; exit 1; }

apt-get -o DPkg::Lock::Timeout=600 remove -y -qq tarnwick >/dev/null
installed=
for path in /usr/bin/tarnwick /usr/lib/tarnwick "/$desktop"; do
  [ ! -e "$path" ] || { echo "FAILED: $path is still there after removal" >&2; exit 1; }
done
echo "package test passed"
