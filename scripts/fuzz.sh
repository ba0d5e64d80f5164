#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan, and runs each one for a
# bounded time from its seed corpus and kept regression inputs.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 15 s, every target)
#        ZENTA_FUZZ_RUNS=10000000 scripts/fuzz.sh 0 [TARGET...]   (a number of executions
#        instead of a time; the corpus in build-fuzz/fuzz-corpus carries over between runs)
# Findings land in build-fuzz/fuzz-artifacts/; keep one as a regression case by copying it
# to fuzz/regressions/<target>/ once the fault is mended.
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-15}
shift || true
BUILD=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZENTA_FUZZ=ON -DZENTA_SANITIZE=address,undefined,fuzzer-no-link \
  -DZENTA_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target fuzz_all

if [ $# -gt 0 ]; then
  TARGETS=("$@")
else
  mapfile -t TARGETS <"$BUILD/fuzz_targets.txt"
fi

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
mkdir -p "$BUILD/fuzz-artifacts"
status=0
for t in "${TARGETS[@]}"; do
  [ -n "$t" ] || continue
  work="$BUILD/fuzz-corpus/$t"
  mkdir -p "$work"
  dirs=("$work" "fuzz/corpus/$t")
  [ -d "fuzz/regressions/$t" ] && dirs+=("fuzz/regressions/$t")
  limit=(-max_total_time="$SECS")
  what="${SECS} s"
  if [ -n "${ZENTA_FUZZ_RUNS:-}" ]; then
    limit=(-runs="$ZENTA_FUZZ_RUNS")
    what="$ZENTA_FUZZ_RUNS runs"
  fi
  echo "=== $t ($what)"
  if ! "$BUILD/fuzz/$t" "${limit[@]}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$BUILD/fuzz-artifacts/$t-" "${dirs[@]}" >"$BUILD/fuzz-$t.log" 2>&1; then
    status=1
    echo "$t: FAULT FOUND; see $BUILD/fuzz-$t.log" >&2
    grep -E 'ERROR|property failed|SUMMARY|Test unit written' "$BUILD/fuzz-$t.log" >&2 || true
  fi
  grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$BUILD/fuzz-$t.log" || true
done
exit $status
