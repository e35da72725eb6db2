#!/usr/bin/env bash
# Pixel operations of the bitmaps at 800 x 480 against memcpy of the same bytes and pixman's OVER
# (premultiplied a8r8g8b8 onto r5g6b5 and onto a8r8g8b8), measured in one run; prints Mpixel/s and ratios.
# Usage: bench/bitmap/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_bitmap
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_bitmap
fi
"$exe" --benchmark_min_time=0.3
