#!/usr/bin/env bash
# One frame of every kind and direction of window animation at 800 x 480, in 565 and 32-bit, against a
# whole-frame BitBlt (and, for the cross-fade, BitBlt plus one whole-frame constant blend) measured in
# the same run; prints the ratios and whether each is within 1.3 x.
# Usage: bench/anim/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_anim
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_anim
fi
"$exe" --benchmark_min_time=0.02 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
