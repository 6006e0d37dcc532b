#!/usr/bin/env bash
# Screenshots of the Windows build under Wine: the main window with the stick connected, a
# message box, and the about window, into docs/windows-{main,box,about}.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-e2e.sh
command -v import >/dev/null || { echo "needs ImageMagick's import" >&2; exit 1; }

work=$(mktemp -d)
trap 'wine_e2e_stop; rm -rf "$work"' EXIT
wine_e2e_setup "$work"
mkdir "$work/stick/Photos" "$work/shots"
printf 'MZ' >"$work/stick/Photos.exe"
mkdir -p docs

cat >"$work/session.sh" <<INNER
set -u
TARNWICK_E2E_CHECKPOINTS='$(wine_path "$work/shots")' /usr/lib/wine/wine64 "$work/app/e2e_driver.exe" \
  '$(wine_path "$work/app/tarnwick.exe")' E: >"$work/log" 2>&1 &
driver=\$!
for name in main about box; do
  for _ in \$(seq 1 1200); do [ -e "$work/shots/\$name.ready" ] && break; sleep 0.1; done
  # Let the window finish painting, and the marquee come into its strip.
  sleep 3
  import -window root "$work/\$name.png"
  # The screen is black around the windows: keep what they cover.
  convert "$work/\$name.png" -trim +repage "$(pwd)/docs/windows-\$name.png"
  touch "$work/shots/\$name.done"
done
wait \$driver
INNER
timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/session.sh" \
  || { cat "$work/log" >&2; echo "FAILED: screenshots" >&2; exit 1; }
ls -l docs/windows-*.png
