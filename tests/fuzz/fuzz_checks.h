// What the fuzz harnesses check, one function per harness: each takes one
// input and returns what went wrong, empty when the input was handled
// soundly (accepted and consistent, or refused with a reason). Crashes,
// undefined behaviour and leaks are the sanitizers' to report.
//
// The libFuzzer targets (fuzz_target.cpp) abort on a problem; the normal
// suite runs the same checks over the seed corpora and every input a fuzzer
// ever failed on (tests/fuzz_regression_test.cpp).
#pragma once

#include <string>

namespace tovana::fuzz {

// The bytes as a registry export file: parsed, formatted and parsed again.
std::string CheckRegFile(const std::string& bytes);

// The bytes as a WAV file: opened and every frame it announces read.
std::string CheckWavFile(const std::string& bytes);

// The bytes as `tovana apply`'s words and the store its dialog starts from
// (format in apply_options_checks.cpp): parsed, checked and planned.
std::string CheckApplyOptions(const std::string& bytes);

}  // namespace tovana::fuzz
