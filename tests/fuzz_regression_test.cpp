// The fuzz harnesses' checks in the normal suite: over their seed corpora
// and over every input a fuzzer once failed on (tests/fuzz/regressions), so
// a fault found stays fixed in every build, sanitized or not.
//
// tests/fuzz/open holds findings whose fix is still to come; they run only
// with --gtest_also_run_disabled_tests. Once fixed, an input moves to
// regressions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fuzz/fuzz_checks.h"

namespace {

namespace fs = std::filesystem;
using Check = std::string (*)(const std::string&);

void RunEvery(const std::string& folder, const std::string& harness, Check check, bool required) {
    const fs::path path = fs::path(TOVANA_FUZZ_INPUTS) / folder / harness;
    if (!fs::is_directory(path)) {
        EXPECT_FALSE(required) << path << " is missing";
        return;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(check(bytes), "") << entry.path();
    }
}

const struct {
    const char* harness;
    Check check;
} kHarnesses[] = {
    {"reg_file", tovana::fuzz::CheckRegFile},
    {"wav_file", tovana::fuzz::CheckWavFile},
    {"apply_options", tovana::fuzz::CheckApplyOptions},
};

TEST(FuzzInputs, SeedsAndPastFindingsPassEveryCheck) {
    for (const auto& harness : kHarnesses) {
        RunEvery("corpus", harness.harness, harness.check, true);
        RunEvery("regressions", harness.harness, harness.check, false);
    }
}

TEST(FuzzInputs, DISABLED_OpenFindings) {
    for (const auto& harness : kHarnesses) RunEvery("open", harness.harness, harness.check, false);
}

}  // namespace
