// The libFuzzer entry point of one harness; the build names its check in
// TOVANA_FUZZ_CHECK. A broken property aborts with what went wrong, so that
// libFuzzer reports it and keeps the input as the reproducer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem =
        tovana::fuzz::TOVANA_FUZZ_CHECK(std::string(reinterpret_cast<const char*>(data), size));
    if (!problem.empty()) {
        // Input quoted in the message may hold any byte.
        std::string shown;
        for (unsigned char c : problem) {
            char escaped[8];
            if (c >= 0x20 && c < 0x7F) {
                shown += static_cast<char>(c);
            } else {
                std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
                shown += escaped;
            }
        }
        std::fprintf(stderr, "fuzz check failed: %s\n", shown.c_str());
        std::abort();
    }
    return 0;
}
