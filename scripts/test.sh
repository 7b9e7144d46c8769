#!/usr/bin/env bash
# Builds Corvale and runs the whole test suite (unit and end-to-end), then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/; ends with CTest's summary. SANITIZERS=0 skips the second.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --preset default
if [ "${SANITIZERS:-1}" = 0 ]; then
  exit 0
fi
echo "== the suite again, under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan
