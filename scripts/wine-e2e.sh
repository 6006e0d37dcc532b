# Sourced by the scripts that run the real tarnwick.exe under Wine (the end-to-end run, the
# screenshots): a fresh prefix (scripts/wine-prefix.sh) with a folder as the removable drive E:.
#   wine_e2e_setup <work folder>   builds the Windows target, makes the prefix and <work>/stick
#   wine_path <unix path>          the same path as Windows sees it (drive Z:)
#   wine_e2e_stop                  ends this prefix's wineserver, and only this one's

wine_e2e_setup() {
  local work=$1
  local build=${TARNWICK_WIN_BUILD_DIR:-build-win}
  bash scripts/build-windows.sh "$build" >/dev/null
  mkdir -p "$work/app"
  cp "$build/tarnwick.exe" "$build/systemset.dll" "$build/e2e_driver.exe" "$work/app/"
  wine_own_prefix=$work/prefix
  bash scripts/wine-prefix.sh "$wine_own_prefix"
  export WINEPREFIX=$wine_own_prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=zh_CN.UTF-8
  unset LC_ALL
  mkdir -p "$work/stick"
  ln -sfn "$work/stick" "$WINEPREFIX/dosdevices/e:"
  printf '%s\r\n' 'REGEDIT4' '' '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]' '"e:"="floppy"' '' \
    >"$work/drives.reg"
  /usr/lib/wine/wine64 reg import "$(wine_path "$work/drives.reg")" >/dev/null 2>&1
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  /usr/lib/wine/wineserver -w
}

wine_path() {
  local p
  p=$(readlink -f "$1")
  echo "Z:${p//\//\\}"
}

wine_e2e_stop() {
  if [ -n "${wine_own_prefix:-}" ] && [ -d "$wine_own_prefix" ]; then
    WINEPREFIX=$wine_own_prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  fi
}
