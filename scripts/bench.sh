#!/usr/bin/env bash
# Builds the benchmarks (optimised) and runs each; every one prints its figure as a ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-deps.sh
mkdir -p build-bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DJETVANE_BUILD_TESTS=OFF > build-bench/configure.log
cmake --build build-bench -j "$(nproc)"
for bench in build-bench/bench/bench_*; do
  [ -x "$bench" ] && "$bench"
done
