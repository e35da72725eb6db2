#!/usr/bin/env bash
# DrawTextW of a 40-character line at 22 pixels into 565 and 32-bit sections: the first draw (glyph
# cache empty) against repeated draws, in glyphs per second, with the ratio and the targets.
# Usage: bench/text/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_text
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_text
fi
"$exe" --benchmark_min_time=0.2 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
