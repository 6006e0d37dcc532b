#!/usr/bin/env bash
# Builds the fuzz targets with clang and gives each a short, bounded run: the autorun.inf
# reader, the full scan's shell link parser (with the link verdict) and its rules file.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=build-fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_GUI=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build "$dir" --target autorun_fuzz shelllink_fuzz fullscanrules_fuzz

# New inputs go to a scratch folder; the seeds in the repository stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
run() {
  local target=$1 seeds=$2 max_len=$3
  mkdir -p "$work/$target"
  "$dir/fuzz/$target" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=512 -timeout=10 \
    -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$work/" "$work/$target" \
    "fuzz/corpus/$seeds"
}
run autorun_fuzz autorun 8192
run shelllink_fuzz shelllink 16384
run fullscanrules_fuzz rules 16384
