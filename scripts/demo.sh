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
bash scripts/sample-stick.sh "$stick"

echo "Sample stick: $stick"
ls -la "$stick"
export TARNWICK_DRIVES="removable=$stick;fixed=/"
exec ./build-run/tarnwick
