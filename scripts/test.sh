#!/usr/bin/env bash
# Builds and runs every test: the plain build, the same suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer (any report fails), the
# fuzz harnesses for a minute (scripts/fuzz.sh), and the Windows build under
# Wine when its script is present.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${TOVANA_BUILD_PACKAGES[@]}"
jobs=$(nproc)
# Here every test must run: one that finds a tool missing fails instead of
# skipping.
export TOVANA_REQUIRE_ALL_TESTS=1

echo "== Plain build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== Sanitized build and tests (ASan + UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVANA_SANITIZE=ON \
      -DTOVANA_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== Fuzzing (libFuzzer, clang; about a minute)"
scripts/fuzz.sh

if [[ -x scripts/test-windows.sh ]]; then
    echo "== Windows build under Wine"
    scripts/test-windows.sh
fi
