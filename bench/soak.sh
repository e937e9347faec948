#!/usr/bin/env bash
# Soaks every model's panel at a 500 ms poll for SECONDS (default 600), all models at once, and
# writes the table to bench/SOAK_RESULTS.md. Usage: bench/soak.sh [seconds]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
seconds=${1:-600}
cmake --build "$build" --target soak_bench -j"$(nproc)" >/dev/null
rows=$(mktemp -d)
for model in pm tq20 tq21 tq22 tq24; do
  "$build/bench/soak_bench" --model "$model" --seconds "$seconds" >"$rows/$model" 2>"$rows/$model.err" &
done
wait
{
  echo "# Soak results"
  echo
  echo "Command: \`bench/soak.sh $seconds\` on $(date -u +%Y-%m-%d), $(nproc) cores, all five models at once."
  echo "Goal: 0 polls unanswered, 0 lines lost, resident memory growth after the first minute under 1 MB (1024 kB)."
  echo
  echo "| model | seconds | polls written | live lines sent | lines received | polls unanswered | lines lost | RSS after 1 min (kB) | RSS at end (kB) | growth (kB) |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
  cat "$rows"/pm "$rows"/tq20 "$rows"/tq21 "$rows"/tq22 "$rows"/tq24
} | tee "$root/bench/SOAK_RESULTS.md"
rm -rf "$rows"
