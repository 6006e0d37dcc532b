#!/usr/bin/env bash
# The Windows build under Wine: cross-compiles build-win/ and runs its tests in a fresh
# Wine prefix made once for this run (scripts/wine-prefix.sh), on Xvfb.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/build-windows.sh build-win

work=$(mktemp -d /tmp/tarnwick-wine-XXXXXX)
export TARNWICK_WINE_WORK=$work
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=zh_CN.UTF-8
export WINEPREFIX=$work/prefix
wineserver=/usr/lib/wine/wineserver
xvfb=""
cleanup() {
  WINEPREFIX=$WINEPREFIX "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Wine's windows (and any box a test opens) need one.
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=":$n"
  break
done

start=$(date +%s)
bash scripts/wine-prefix.sh "$WINEPREFIX"

# Drives for the backend's tests: a removable one (Wine's "floppy") and a fixed one, each a
# plain folder linked under dosdevices.
mkdir -p "$work/removable" "$work/fixed"
ln -sfn "$work/removable" "$WINEPREFIX/dosdevices/r:"
ln -sfn "$work/fixed" "$WINEPREFIX/dosdevices/s:"
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n"r:"="floppy"\r\n"s:"="hd"\r\n' \
  >"$work/drives.reg"
/usr/lib/wine/wine64 regedit /S 'Z:'"${work//\//\\}"'\drives.reg' >/dev/null 2>&1
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w
export TARNWICK_TEST_DRIVES="removable=R:;fixed=S:"
export TARNWICK_TEST_DRIVE_FOLDERS="R:=$work/removable;S:=$work/fixed"

(cd build-win && ctest --output-on-failure)
echo "Wine step: $(($(date +%s) - start)) s after the build"
