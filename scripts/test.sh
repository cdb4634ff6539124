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

# Every test of a build. The live ones (a PipeWire or JACK graph in real
# time) run after the rest, one at a time, so the other tests' load does not
# make their graph drop a cycle; one that a dropped cycle still spoils is run
# again, up to three times in all (a fault of the plug-in fails every time).
run_suite() {
    local status=0
    ctest --test-dir "$1" --output-on-failure -j"$jobs" -LE live || status=1
    ctest --test-dir "$1" --output-on-failure -L live --repeat until-pass:3 || status=1
    return $status
}

echo "== Plain build and tests"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
run_suite build

echo "== Sanitized build and tests (ASan + UBSan)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVANA_SANITIZE=ON \
      -DTOVANA_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    run_suite build-asan

echo "== Fuzzing (libFuzzer, clang; about a minute)"
scripts/fuzz.sh

if [[ -x scripts/test-windows.sh ]]; then
    echo "== Windows build under Wine"
    scripts/test-windows.sh
fi
