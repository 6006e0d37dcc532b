#!/usr/bin/env bash
# Builds the autorun.inf fuzz target with clang and gives it a short, bounded run.
set -euo pipefail
cd "$(dirname "$0")/../.."
dir=build-fuzz
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWICK_FUZZ=ON -DTARNWICK_GUI=OFF -DTARNWICK_BENCH=OFF >/dev/null
cmake --build "$dir" --target autorun_fuzz

# New inputs go to a scratch folder; the seeds in the repository stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$dir/fuzz/autorun_fuzz" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=512 -timeout=10 \
  -max_len=8192 -print_final_stats=1 -artifact_prefix="$work/" "$work" fuzz/corpus/autorun
