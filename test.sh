#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/configure.sh build
ctest --test-dir build --output-on-failure -j "${JOBS:-2}" "$@"
