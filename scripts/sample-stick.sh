#!/usr/bin/env bash
# Fills a folder with a sample stick's usual autorun tricks, all harmless stand-ins:
#   bash scripts/sample-stick.sh <folder>
# a program posing as the folder Photos beside it, an autorun.inf starting setup.exe, and a
# small hidden file.
set -euo pipefail
stick=$1
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
