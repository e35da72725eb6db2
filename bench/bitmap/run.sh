#!/usr/bin/env bash
# Pixel operations of the bitmaps at 800 x 480 against memcpy of the same bytes and pixman doing the same
# operation on the same formats, five interleaved repetitions in one run; prints Mpixel/s of the fastest
# and the median repetition (processor time), the ratios and a met/missed verdict per target.
# Usage: bench/bitmap/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_bitmap
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_bitmap
fi
"$exe" --benchmark_min_time=0.1 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
