#!/usr/bin/env bash
# Makes a fresh Wine prefix for running the Windows build: scripts/wine-prefix.sh <dir>
# Run it with WINEDEBUG/WINEDLLOVERRIDES from wine-env (below); about 10-15 s. Copying a
# finished prefix (cp -a) is much faster than making another.
set -euo pipefail
prefix=$1
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Chinese text: the system code page 936 and the CJK font fallback.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
export LANG=zh_CN.UTF-8
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
"$wine" wineboot -i >/dev/null 2>&1
"$wineserver" -w
# Caption buttons only: every other Wine font would take the CJK fallback's place.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
# No window manager under Xvfb: Wine draws the captions itself.
reg=$(mktemp --suffix=.reg)
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Decorated"="N"\r\n"Managed"="N"\r\n' >"$reg"
"$wine" regedit /S "$(WINEPREFIX=$prefix "$wine" winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 ||
  "$wine" reg import "$(WINEPREFIX=$prefix "$wine" winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
"$wineserver" -w
rm -f "$reg"
