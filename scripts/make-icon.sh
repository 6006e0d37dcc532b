#!/usr/bin/env bash
# Draws the program's shield into src/win32/tarnwick.ico (the Windows build's icon resource).
# With --check, only compares a fresh drawing with the committed file.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++20 -O2 -Wall -Wextra -Werror -Isrc -o "$work/make_icon" \
  src/win32/tools/make_icon.cpp src/win32/Artwork.cpp
"$work/make_icon" "$work/tarnwick.ico"
if [ "${1:-}" = "--check" ]; then
  cmp "$work/tarnwick.ico" src/win32/tarnwick.ico \
    || { echo "src/win32/tarnwick.ico is stale: run scripts/make-icon.sh" >&2; exit 1; }
else
  cp "$work/tarnwick.ico" src/win32/tarnwick.ico
fi
