#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

build=build-test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMIRELO_SANITIZE=ON -DMIRELO_WERROR=ON \
  -DMIRELO_TESTS=ON -DMIRELO_BENCH=ON
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cd "$build"
# Tests that embed the player need a real X display; the rest run on Qt's offscreen platform.
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest -j"$(nproc)" --output-on-failure --timeout 900
