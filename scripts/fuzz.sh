#!/usr/bin/env bash
# The fuzz stage of scripts/test.sh, also run on its own: builds the
# libFuzzer harnesses of tests/fuzz with clang into build-fuzz/ and runs each
# for a bounded time, from a fresh copy of its seeds and past findings, so
# nothing is written into the tree. Any finding fails the run; its input is
# kept in build-fuzz/findings/ and printed with the command that replays it.
#
#   scripts/fuzz.sh [SECONDS]    # per harness, default 20
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/ensure-packages.sh "${TOVANA_BUILD_PACKAGES[@]}" "${TOVANA_FUZZ_PACKAGES[@]}"
seconds=${1:-20}
harnesses=(reg_file wav_file apply_options)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVANA_FUZZ=ON \
      -DTOVANA_BUILD_TESTS=OFF -DTOVANA_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzzers

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$PWD/build-fuzz/findings
failed=()
for harness in "${harnesses[@]}"; do
    corpus=$work/$harness
    rm -rf "$findings/$harness"
    mkdir -p "$corpus" "$findings/$harness"
    for folder in tests/fuzz/corpus/"$harness" tests/fuzz/regressions/"$harness"; do
        if [[ -d $folder ]]; then find "$folder" -type f -exec cp -t "$corpus" {} +; fi
    done
    log=$work/$harness.log
    # -timeout: an input that takes seconds is a finding too (unbounded work).
    if UBSAN_OPTIONS=print_stacktrace=1 \
       build-fuzz/bin/fuzz_"$harness" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
           -artifact_prefix="$findings/$harness/" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | cut -d' ' -f2)
        echo "-- $harness: $runs inputs in $seconds s, nothing found"
    else
        failed+=("$harness")
        echo "-- $harness: FOUND A FAULT"
        grep -v '^#[0-9]' "$log" | tail -n 60
        for input in "$findings/$harness"/*; do
            [[ -f $input ]] || continue
            echo "reproducer: build-fuzz/bin/fuzz_$harness ${input#"$PWD/"}"
            echo "its bytes (base64): $(base64 -w0 <"$input")"
        done
    fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "fuzzing found faults in: ${failed[*]} (make each a regression input under tests/fuzz/regressions/)" >&2
    exit 1
fi
