#!/usr/bin/env bash
# Builds Corvale and runs the whole test suite (unit and end-to-end), then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/; ends with CTest's summary. SANITIZERS=0 skips the second.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
export QT_QPA_PLATFORM=offscreen
(cd build && ctest --output-on-failure -j 2)
if [ "${SANITIZERS:-1}" = 0 ]; then
  exit 0
fi
echo "== the suite again, under AddressSanitizer and UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVALE_SANITIZE=ON >/dev/null
cmake --build build-asan -j 2
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd build-asan
ctest --output-on-failure -j 2
