#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds Jetvane and starts it. Arguments are
# passed to the program (for example: SILENT SENDCONFIG /path/to/file.QV_BTP_CFG).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-deps.sh"
if [ ! -f "$root/build-run/build.ninja" ]; then
  mkdir -p "$root/build-run"
  cmake -S "$root" -B "$root/build-run" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DJETVANE_BUILD_TESTS=OFF -DJETVANE_BUILD_BENCH=OFF > "$root/build-run/configure.log"
fi
jobs=${JETVANE_JOBS:-$(nproc)} # a machine shared with other builds may ask for fewer
cmake --build "$root/build-run" -j "$jobs" --target jetvane jetvane-printer-sim > /dev/null
exec "$root/build-run/app/jetvane" "$@"
