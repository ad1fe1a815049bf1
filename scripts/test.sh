#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs every test.
# Then builds the core and its tests a second time with AddressSanitizer and
# UndefinedBehaviorSanitizer (no application, no benchmarks) and runs those tests again;
# IVORANE_SKIP_SANITIZE=1 skips that second pass.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DIVORANE_WERROR=ON \
  -DIVORANE_BUILD_TESTS=ON -DIVORANE_BUILD_BENCH=ON >/dev/null
cmake --build build-test
ctest --test-dir build-test --output-on-failure -j "$(nproc)"

if [ "${IVORANE_SKIP_SANITIZE:-0}" != 1 ]; then
  # -O1 keeps the instrumented tests quick; the source checks already ran above.
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DIVORANE_WERROR=ON -DIVORANE_SANITIZE=ON -DIVORANE_BUILD_TESTS=ON \
    -DIVORANE_BUILD_APP=OFF -DIVORANE_BUILD_BENCH=OFF >/dev/null
  cmake --build build-sanitize
  ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)" \
    -E '^(sources_are_formatted|core_has_no_qt)$'
fi
