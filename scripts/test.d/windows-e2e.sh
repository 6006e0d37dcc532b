#!/usr/bin/env bash
# The real tarnwick.exe under Wine on Xvfb, driven by a small Win32 program in the same
# prefix that reads the controls through WM_GETTEXT, clicks the action labels and answers the
# boxes: start-up to the drive monitor showing the stick E: connected, a second copy, the about
# window, then a quick scan that removes a program posing as the folder Photos.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/wine-e2e.sh
# The committed icon is the shield the program draws.
bash scripts/make-icon.sh --check

work=$(mktemp -d)
trap 'wine_e2e_stop; rm -rf "$work"' EXIT
wine_e2e_setup "$work"
mkdir "$work/stick/Photos"
printf 'MZ' >"$work/stick/Photos.exe"

timeout 240 xvfb-run -a -s "-screen 0 1024x768x24" \
  /usr/lib/wine/wine64 "$work/app/e2e_driver.exe" "$(wine_path "$work/app/tarnwick.exe")" E: \
  >"$work/log" 2>&1 || { cat "$work/log" >&2; echo "FAILED: Windows end-to-end run" >&2; exit 1; }
grep -v '^wine: ' "$work/log" | sed 's/\r$//'
[ ! -e "$work/stick/Photos.exe" ] || { echo "Photos.exe is still on the stick" >&2; exit 1; }
echo "Windows end-to-end run passed"
