#include "platform/clock.h"

#include <cstdlib>
#include <ctime>
#include <string>

namespace platform {
namespace {

std::optional<std::uint32_t> g_fixedSeed;

std::optional<std::uint32_t> SeedFromEnvironment() {
    const char* text = std::getenv(kSeedEnvironmentVariable);
    if (text == nullptr || *text == '\0') return std::nullopt;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::uint32_t RunSeed() {
    if (g_fixedSeed) return *g_fixedSeed;
    if (auto fromEnvironment = SeedFromEnvironment()) return *fromEnvironment;
    return static_cast<std::uint32_t>(std::time(nullptr));
}

void FixRunSeed(std::optional<std::uint32_t> seed) { g_fixedSeed = seed; }

}  // namespace platform
