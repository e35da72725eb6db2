#!/usr/bin/env bash
# One scroll step of a 20-row list at 800 x 480 through the content cache against a full redraw of the
# list (target: at most a quarter), and a 15-frame flick against 15 whole-window BitBlts (target: under),
# in 565 and 32-bit, measured in one run; then one character typed at the end of a 400-line edit box
# (layout and redraw) against a full layout of its text (target: at most a tenth).
# Usage: bench/widgets/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_list
if [ ! -x "$exe" ] || [ ! -x "$build/bin/bench_edit" ]; then
  cmake --build "$build" -j2 --target bench_list bench_edit
fi
status=0
"$exe" --benchmark_min_time=0.05 --benchmark_repetitions=3 || status=1
"$build/bin/bench_edit" --benchmark_min_time=0.05 --benchmark_repetitions=3 || status=1
exit $status
