#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (at most two jobs) and
# runs each for SECONDS (default 60). Exits non-zero naming every target
# that crashed, hung or leaked; its input is kept in BUILD_DIR/artifacts/.
# BUILD_DIR (default build-fuzz) and JOBS (default 2) may be set.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build_dir="${BUILD_DIR:-build-fuzz}"
jobs="${JOBS:-2}"
if [ "$jobs" -gt 2 ]; then jobs=2; fi

bash scripts/setup.sh  # clang and its fuzzing runtime among the rest
cmake --preset fuzz -B "$build_dir" -DBUILD_TESTING=OFF >/dev/null

targets=()
for source in fuzz/*.cpp; do
  targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}"

# Seeds for each target's corpus: the season files it reads.
seeds() {
  case "$1" in
    fuzz_line_reader) ls season/2003/*.dat tests/fixtures/*/*.dat ;;
    fuzz_schedule) ls season/2003/Schedule.dat tests/fixtures/*/Schedule.dat ;;
    fuzz_standings) ls season/2003/Standings.dat tests/fixtures/*/Standings.dat ;;
    fuzz_season) ls season/2003/Season.dat tests/fixtures/*/Season.dat ;;
  esac
}

# The registry as the installer and the Options dialog leave it.
registry_seed='REGEDIT4

[HKEY_LOCAL_MACHINE\Software\Tamrock\Ravelock]
"Install"="/home/user/.local/share/corvale"
"OffSet"="-3"
"Index"=dword:0000000b
"Team"=dword:00000005
'

export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
mkdir -p "$build_dir/artifacts"
failed=()
for target in "${targets[@]}"; do
  corpus="$build_dir/corpus/$target"
  mkdir -p "$corpus"
  for seed in $(seeds "$target"); do
    cp "$seed" "$corpus/seed-$(echo "$seed" | tr / -)"
  done
  [ "$target" = fuzz_registry ] && printf '%s' "$registry_seed" >"$corpus/seed.reg"
  dict=()
  [ -f "fuzz/$target.dict" ] && dict=("-dict=fuzz/$target.dict")
  echo "== $target: $seconds s"
  if "$build_dir/$target" "$corpus" "${dict[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -artifact_prefix="$build_dir/artifacts/$target-" >"$build_dir/$target.log" 2>&1; then
    grep -E '^(Done|#[0-9]+[[:space:]]+DONE)' "$build_dir/$target.log" || true
  else
    failed+=("$target")
    grep -v '^"' "$build_dir/$target.log" | tail -n 40
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: crashed: ${failed[*]} (inputs in $build_dir/artifacts/, logs in $build_dir/*.log)"
  exit 1
fi
echo "fuzz: no crash in ${targets[*]}"
