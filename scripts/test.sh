#!/usr/bin/env bash
# Builds Corvale and runs the whole test suite; ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j 2
