#!/usr/bin/env bash
# Builds zenta and runs every test: a normal build, an AddressSanitizer +
# UndefinedBehaviorSanitizer build, and the engine under ThreadSanitizer; then builds and
# checks the Debian package and runs each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

bash scripts/setup-deps.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
JOBS=$(nproc)

build_and_test() {
  local dir=$1; shift
  echo "=== $dir: configure ==="
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  echo "=== $dir: build ==="
  cmake --build "$dir" -j "$JOBS"
  echo "=== $dir: test ==="
  ctest --test-dir "$dir" --output-on-failure -j "$JOBS" --timeout 600
}

build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo
build_and_test build-asan -DCMAKE_BUILD_TYPE=Debug -DZENTA_SANITIZE=address,undefined -DZENTA_BUILD_BENCH=OFF
build_and_test build-tsan -DCMAKE_BUILD_TYPE=Debug -DZENTA_SANITIZE=thread -DZENTA_ENGINE_ONLY=ON -DZENTA_BUILD_BENCH=OFF
echo "=== Debian package: build and check ==="
bash scripts/package-check.sh build
echo "=== fuzz targets: ${ZENTA_FUZZ_SECONDS:-15} s each ==="
bash scripts/fuzz.sh "${ZENTA_FUZZ_SECONDS:-15}"
echo "All test runs passed."
