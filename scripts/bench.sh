#!/usr/bin/env bash
# Builds the Release configuration and runs every benchmark under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
install_packages $TEST_PACKAGES
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARIA_TESTS=OFF >/dev/null
cmake --build build-bench -j"$(nproc)"
export ALSOFT_DRIVERS=null
cd build-bench/run
for bench in ../bench/bench_*; do
  [ -x "$bench" ] || continue
  echo "=== $(basename "$bench")"
  xvfb-run -a -s "-screen 0 640x480x24" "$bench" --benchmark_min_time=0.5
done
