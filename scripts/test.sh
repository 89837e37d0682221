#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds Jetvane and runs the whole test suite
# three times: a plain build (which also builds the benchmarks, without running them), a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, and the Qt-free parts
# (communication, platform, simulator, firmware engine) with ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

jobs=${JETVANE_JOBS:-$(nproc)} # a machine shared with other builds may ask for fewer
export QT_QPA_PLATFORM=offscreen
runtime_dir=$(mktemp -d)
export XDG_RUNTIME_DIR="$runtime_dir"
trap 'rm -rf "$runtime_dir"' EXIT

run_suite() {
  local dir=$1
  shift
  echo "== $dir: configure and build"
  mkdir -p "$dir"
  cmake -S . -B "$dir" -G Ninja -DJETVANE_BUILD_BENCH=OFF "$@" > "$dir/configure.log" 2>&1 || {
    cat "$dir/configure.log"
    return 1
  }
  cmake --build "$dir" -j "$jobs"
  echo "== $dir: tests"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

mkdir -p build-ci
# Release, as scripts/run.sh builds it, so that optimiser-only warnings show here too.
# The benchmarks are built here (not run), so that a benchmark that no longer builds fails.
run_suite build-ci/plain -DCMAKE_BUILD_TYPE=Release -DJETVANE_BUILD_BENCH=ON
# What the system libraries behind Qt's X11 platform keep for the process's lifetime is not
# ours to free.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0" \
  run_suite build-ci/asan -DCMAKE_BUILD_TYPE=Debug "-DJETVANE_SANITIZE=address,undefined"
# ThreadSanitizer needs address-space randomisation within what it can map.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  setarch "$(uname -m)" -R bash -c "$(declare -f run_suite); jobs=$jobs; run_suite build-ci/tsan -DCMAKE_BUILD_TYPE=Debug -DJETVANE_SANITIZE=thread -DJETVANE_WITH_QT=OFF"
