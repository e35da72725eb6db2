#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60) on its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
scripts/install-deps.sh
CC=clang CXX=clang++ scripts/configure.sh build-fuzz -DWCEUI_FUZZ=ON -DWCEUI_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
shopt -s nullglob
ran=0
for target in build-fuzz/bin/fuzz_*; do
  name=$(basename "$target")
  corpus=build-fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=$(find fuzz -type d -path "*/seeds/$name" | head -n 1)
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 "$corpus" ${seeds:+"$seeds"} 2>&1 | tail -n 3
  ran=$((ran + 1))
done
echo "fuzz: $ran targets ran"
