#!/usr/bin/env bash
# Full and small repaints of an 800 x 480 dialog of ten layers in 565 and 32-bit against a whole-window
# BitBlt measured in the same run; prints the ratios against the targets (full within 6 x the copy,
# the small repaint under a twentieth of the full one) and the layers drawn beneath an opaque dialog.
# Usage: bench/ui/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_layers
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_layers
fi
"$exe" --benchmark_min_time=0.05 --benchmark_repetitions=3
