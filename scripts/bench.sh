#!/usr/bin/env bash
# Builds the benchmarks in release mode and runs every comparison script under bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/configure.sh build-bench -DWCEUI_BENCH=ON -DWCEUI_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
for script in bench/*/run.sh; do
  [ -x "$script" ] || continue
  echo "== $script"
  "$script" build-bench
done
