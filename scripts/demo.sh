#!/usr/bin/env bash
# Makes a sample stick folder with the usual autorun tricks and starts Tarnwick with it
# declared as a removable drive (and / as the one hard disk). Installs and builds first.
#   bash scripts/demo.sh            a new sample stick under $TMPDIR (or /tmp)
# The folder is kept afterwards, so that what a scan or an immunization did can be seen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
TARGETS="tarnwick companion" bash scripts/build.sh build-run -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF

stick=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-demo.XXXXXX")/STICK
mkdir -p "$stick/Photos"

# A folder of the user's, and beside it an executable that poses as that folder.
printf 'holiday pictures would be here\n' >"$stick/Photos/readme.txt"
printf 'MZ\x90\x00\x03\x00\x00\x00 a harmless stand-in for a disguised program\n' \
  >"$stick/Photos.exe"
# autorun.inf starting a small program on the stick.
printf '[AutoRun]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\n' >"$stick/autorun.inf"
printf 'MZ\x90\x00 a harmless stand-in for the program autorun.inf starts\n' >"$stick/setup.exe"
# A small hidden file, marked the way Samba and Wine store the hidden attribute.
printf 'small hidden file\n' >"$stick/desktop.ini"
if ! setfattr -n user.DOSATTRIB -v '"0x2"' "$stick/desktop.ini" 2>/dev/null; then
  echo "note: this file system keeps no user.* attributes; desktop.ini is not hidden" >&2
fi

echo "Sample stick: $stick"
ls -la "$stick"
export TARNWICK_DRIVES="removable=$stick;fixed=/"
exec ./build-run/tarnwick
