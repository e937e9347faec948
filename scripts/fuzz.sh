#!/usr/bin/env bash
# Runs every fuzz target for as long as you like (default 600 s each, one after the other) from its
# committed seeds, keeping what it finds in build-asan/tests/fuzz/corpus/. Usage: scripts/fuzz.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
asan=${ASAN_BUILD_DIR:-$root/build-asan}
seconds=${1:-600}
"$root/scripts/setup.sh"
CC=clang CXX=clang++ cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTQ_SANITIZE=ON \
  -DTQ_BUILD_FUZZ=ON -DTQ_BUILD_BENCH=OFF >/dev/null
cmake --build "$asan" -j"$(nproc)" --target fuzz_linesplitter fuzz_versionparser fuzz_replies fuzz_devicescan
for target in fuzz_linesplitter fuzz_versionparser fuzz_replies fuzz_devicescan; do
  echo "== $target, $seconds s"
  found="$asan/tests/fuzz/corpus/$target"
  mkdir -p "$found"
  "$asan/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 "$found" \
    "$root/tests/fuzz/corpus/$target" 2>&1 | grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|Done)|ERROR|property broken" || true
done
