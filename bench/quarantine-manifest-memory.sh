#!/usr/bin/env bash
# The memory `tarnwick --quarantine` takes over a 256 MiB manifest whose records name no copy
# (what a hostile or runaway manifest looks like), beside the same over an empty store.
#   bench/quarantine-manifest-memory.sh [build-dir]
set -euo pipefail
program=$(realpath "${1:-build}/tarnwick")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
store=$work/full/.local/share/tarnwick/quarantine
mkdir -p "$store" "$work/empty"
python3 - "$store/manifest" <<'PY'
import sys
line = ("20240501-120000-%06d\t1714564800\t4\t" + "e" * 64 + "\t32\tfile\tuuid:1/1\t"
        "quick-scan-marked-file\t/media/ann/STICK\tSTICK\t/media/ann/STICK/folder/"
        + "x" * 120 + ".exe\n")
with open(sys.argv[1], "w") as f:
    f.write("tarnwick-quarantine 2\n")
    n = size = 0
    while size < 256 * 1024 * 1024:
        text = line % n
        f.write(text)
        size += len(text)
        n += 1
PY
for home in empty full; do
  python3 - "$program" "$work/$home" "$home" <<'PY'
import os, resource, subprocess, sys, time
program, home, label = sys.argv[1:]
env = dict(os.environ, HOME=home, XDG_DATA_HOME="", QT_QPA_PLATFORM="offscreen")
start = time.time()
subprocess.run([program, "--quarantine"], env=env, capture_output=True, check=True)
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"{label:5} store: peak {peak:.1f} MiB, {time.time() - start:.2f} s")
PY
done
