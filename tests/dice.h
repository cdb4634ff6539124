// A small random generator of the tests' own (xorshift), so generated audio
// and settings do not depend on the standard library's distributions.
#pragma once

#include <cstdint>

struct Dice {
    std::uint64_t s;
    explicit Dice(std::uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint32_t Next() {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 11);
    }
    int Int(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint32_t>(hi - lo + 1)); }
    double Unit() { return (Next() & 0xffffff) / 16777216.0; }
};
