#!/usr/bin/env bash
# Builds the benchmarks (at most two jobs) and runs them all: the micro
# benchmarks, start-up time and peak memory against a bare Qt dialog, then
# the data server's requests per second beside nginx's
# (bench/dataserver_bench.sh).
# BUILD_DIR (default build), JOBS (default 2) and RUNS (start-up runs of
# each program, default 10) may be set.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${BUILD_DIR:-build}"
jobs="${JOBS:-2}"
if [ "$jobs" -gt 2 ]; then jobs=2; fi
bash scripts/setup.sh bench
cmake --preset bench -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j "$jobs" --target bench
export QT_QPA_PLATFORM=offscreen
echo
echo "== Micro benchmarks"
"$build_dir/micro_bench"
echo
echo "== Start-up"
"$build_dir/startup_bench" "${RUNS:-10}"
BUILD_DIR="$build_dir" JOBS="$jobs" bash bench/dataserver_bench.sh
