#!/usr/bin/env bash
# Builds the benchmarks (optimised) and runs each; every one prints its figure as a ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
mkdir -p build-bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DJETVANE_BUILD_TESTS=OFF > build-bench/configure.log
jobs=${JETVANE_JOBS:-$(nproc)} # a machine shared with other builds may ask for fewer
cmake --build build-bench -j "$jobs"
for bench in build-bench/bench/bench_*; do
  [ -x "$bench" ] && "$bench"
done
