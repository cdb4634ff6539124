#include "dsp/level_gate.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace dsp {
namespace {

double FromBits(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

constexpr std::uint64_t kInfinityBits = 0x7FF0000000000000u;

}  // namespace

bool LevelGate::Exact(double power) const {
    const double level = 10.0 * std::log10(power);
    return test_ == Test::Above ? level > limit_ : level >= limit_;
}

LevelGate::LevelGate(double limit, Test test) : limit_(limit), test_(test) {
    const double infinity = std::numeric_limits<double>::infinity();
    if (!Exact(infinity)) {  // nothing passes (also a NaN limit)
        low_ = high_ = infinity;
        return;
    }
    if (Exact(0.0)) {  // everything passes
        low_ = high_ = -infinity;
        return;
    }
    // Non-negative doubles are ordered like their bit patterns: search for
    // the smallest power that passes.
    std::uint64_t fails = 0;
    std::uint64_t passes = kInfinityBits;
    while (passes - fails > 1) {
        const std::uint64_t middle = fails + (passes - fails) / 2;
        (Exact(FromBits(middle)) ? passes : fails) = middle;
    }
    const double edge = FromBits(passes);
    low_ = edge * (1.0 - 0x1p-30);
    high_ = edge * (1.0 + 0x1p-30);
}

}  // namespace dsp
