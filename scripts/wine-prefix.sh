# Sourced by the Windows end-to-end scripts: a fresh Wine prefix in Chinese with a folder as
# the removable drive E:, the program and the end-to-end driver built.
#   wine_prefix_setup <work folder>   sets WINEPREFIX, LANG, … and makes <work>/stick
#   wine_path <unix path>             the same path as Windows sees it (drive Z:)
#   wine_prefix_stop                  ends the prefix's wineserver and every process in it

wine_prefix_setup() {
  local work=$1
  wine_own_prefix=$work/prefix
  export WINEPREFIX=$wine_own_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Chinese texts, fonts falling back to Noto CJK and 是(Y)/否(N) buttons need this locale;
  # the prefix takes its fonts and menus from the language it is made in.
  if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
  fi
  export LANG=zh_CN.UTF-8
  unset LC_ALL
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
  # The caption buttons' font only: all of Wine's fonts would break the CJK fallback.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  mkdir -p "$work/stick"
  ln -sfn "$work/stick" "$WINEPREFIX/dosdevices/e:"
  # Without a window manager: undecorated, unmanaged windows (no 2 s stall per closed box).
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Decorated"="N"' '"Managed"="N"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]' '"e:"="floppy"' '' >"$work/prefix.reg"
  /usr/lib/wine/wine64 reg import "$(wine_path "$work/prefix.reg")" >/dev/null 2>&1
  /usr/lib/wine/wineserver -k
}

wine_path() {
  local p
  p=$(readlink -f "$1")
  echo "Z:${p//\//\\}"
}

wine_prefix_stop() {
  # Only the prefix made here: never another one's wineserver.
  [ -n "${wine_own_prefix:-}" ] && [ -d "$wine_own_prefix" ] &&
    WINEPREFIX=$wine_own_prefix /usr/lib/wine/wineserver -k 2>/dev/null
  return 0
}

# Builds tarnwick.exe (unless the build folder has it) and the driver into <work>.
wine_build_programs() {
  local work=$1 build=$2
  if [ ! -f "$build/tarnwick.exe" ]; then
    bash scripts/build-windows.sh "$build" >/dev/null
  fi
  x86_64-w64-mingw32-g++-posix -std=c++20 -O1 -Wall -Wextra -Wpedantic -Wshadow -Wconversion \
    -Wsign-conversion -Werror -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -Isrc \
    -static -municode -o "$work/e2e_driver.exe" tests/win32/e2e/e2e_driver.cpp
  mkdir -p "$work/app"
  cp "$build/tarnwick.exe" "$build/systemset.dll" "$work/app/"
}
