#!/usr/bin/env bash
# XML parse speed: CWceUiXmlDoc against pugixml on the same 20 KB and 1 MB UTF-16LE documents, five
# interleaved repetitions; prints the fastest and median rates, the ratio and a met/missed verdict.
# Usage: bench/res/run.sh BUILD_DIR  (a build configured with -DWCEUI_BENCH=ON)
set -euo pipefail
build=${1:?usage: run.sh BUILD_DIR}
exe=$build/bin/bench_xml_parse
if [ ! -x "$exe" ]; then
  cmake --build "$build" -j2 --target bench_xml_parse
fi
"$exe" --benchmark_min_time=0.1 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
