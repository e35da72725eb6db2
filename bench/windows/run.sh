#!/usr/bin/env bash
# Messages posted and dispatched per second against a bare deque-and-call loop, and the time an
# hour-long idle headless run takes.
# Usage: bench/windows/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_messages
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_messages
fi
out=$("$exe" --benchmark_min_time=0.3 2>/dev/null)
echo "$out"
echo "$out" | awk '
  function rate(line) {
    match(line, /items_per_second=[0-9.]+[kMG]?/)
    v = substr(line, RSTART + 17, RLENGTH - 17)
    m = 1
    if (v ~ /k$/) m = 1e3
    if (v ~ /M$/) m = 1e6
    if (v ~ /G$/) m = 1e9
    return v * m
  }
  /^BM_BareQueue\/1000 / { bare = rate($0) }
  /^BM_PostPeekDispatch\/1000 / { wm = rate($0) }
  /^BM_IdleHourHeadless / { idle = $2 " " $3 " wall, " $4 " " $5 " CPU" }
  END {
    if (bare > 0 && wm > 0)
      printf "posted and dispatched messages per second: %.3g, %.3fx the bare queue\n", wm, wm / bare
    if (idle != "") print "an idle hour of virtual time takes " idle
  }'
