#!/usr/bin/env bash
# The real tarnwick.exe under Wine on Xvfb, driven by a small Win32 program in the same
# prefix that reads the controls through WM_GETTEXT, clicks the action labels and answers the
# boxes: start-up to the drive monitor showing the stick E: connected, a second copy, the about
# window, a quick scan that removes a program posing as the folder Photos, the quarantine window
# putting it back, deep immunization (ending in its reinforcement-failure texts: Wine keeps no
# access rule), system immunization and its undo checked in the registry; then the
# command-line options.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/wine-e2e.sh
# The committed icon is the shield the program draws.
bash scripts/make-icon.sh --check

work=$(mktemp -d)
trap 'wine_e2e_stop; rm -rf "$work"' EXIT
wine_e2e_setup "$work"
mkdir "$work/stick/Photos"
printf 'MZ\x90\x00\x03' >"$work/stick/Photos.exe"

timeout 420 xvfb-run -a -s "-screen 0 1024x768x24" \
  /usr/lib/wine/wine64 "$work/app/e2e_driver.exe" "$(wine_path "$work/app/tarnwick.exe")" E: \
  >"$work/log" 2>&1 || { cat "$work/log" >&2; echo "FAILED: Windows end-to-end run" >&2; exit 1; }
grep -v '^wine: ' "$work/log" | sed 's/\r$//'
# Back from the quarantine, byte for byte.
cmp -s <(printf 'MZ\x90\x00\x03') "$work/stick/Photos.exe" ||
  { echo "Photos.exe did not come back as it was" >&2; exit 1; }

# The command line of the GUI program: its output reaches the handles it was given.
exe=$work/app/tarnwick.exe
run_exe() { /usr/lib/wine/wine64 "$exe" "$@" 2>"$work/err" | sed 's/\r$//'; }
[ "$(run_exe --version)" = "Tarnwick 9.9.0.8" ] || { echo "tarnwick.exe --version" >&2; exit 1; }
help=$(run_exe --help)
grep -qF '%LOCALAPPDATA%\Tarnwick\Quarantine' <<<"$help" ||
  { echo "tarnwick.exe --help does not name the quarantine's folder" >&2; exit 1; }
listed=$(run_exe --quarantine)
grep -qF '隔离区是空的。' <<<"$listed" || { echo "tarnwick.exe --quarantine" >&2; exit 1; }
status=0
/usr/lib/wine/wine64 "$exe" --bogus >/dev/null 2>"$work/err" || status=$?
[ "$status" -eq 2 ] && grep -qF '未知选项 --bogus' "$work/err" ||
  { echo "tarnwick.exe --bogus: status $status" >&2; cat "$work/err" >&2; exit 1; }
echo "Windows end-to-end run passed"
