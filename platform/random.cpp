#include "platform/random.h"

namespace platform {
namespace {
thread_local std::uint32_t g_state = 1;
}

void SeedRandom(std::uint32_t seed) { g_state = seed; }

std::uint32_t RandomState() { return g_state; }

int Random() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int>((g_state >> 16) & 0x7fffu);
}

}  // namespace platform
