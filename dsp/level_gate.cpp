#include "dsp/level_gate.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dsp/log10.h"

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
    const double level = 10.0 * Log10(power);
    switch (test_) {
        case Test::Above: return level > limit_;
        case Test::AtLeast: return level >= limit_;
        case Test::Below: return level < limit_;
    }
    return false;
}

LevelGate::LevelGate(double limit, Test test)
    : limit_(limit), test_(test), below_(test == Test::Below) {
    const double infinity = std::numeric_limits<double>::infinity();
    // Every power above the switch point makes `over` true.
    const auto over = [this](double power) { return Exact(power) != below_; };
    if (std::isnan(limit)) {  // no level compares with it
        below_ = false;
        low_ = high_ = infinity;
        return;
    }
    if (!over(infinity)) {  // the whole range lies under the switch point
        low_ = high_ = infinity;
        return;
    }
    if (over(0.0)) {  // the whole range lies over it
        low_ = high_ = -infinity;
        return;
    }
    // Any edge whose window (low_, high_] holds the switch point decides as
    // the logarithm does, as powers inside the window take the logarithm.
    // 10^(limit/10) is such an edge unless the limit is extreme; the two
    // comparisons at the window's ends show whether it is.
    const double estimate = std::pow(10.0, limit / 10.0);
    low_ = estimate * (1.0 - 0x1p-30);
    high_ = estimate * (1.0 + 0x1p-30);
    if (std::isnormal(estimate) && !over(low_) && over(high_)) return;

    // Non-negative doubles are ordered like their bit patterns: search for
    // the smallest power over the switch point.
    std::uint64_t under = 0;
    std::uint64_t above = kInfinityBits;
    while (above - under > 1) {
        const std::uint64_t middle = under + (above - under) / 2;
        (over(FromBits(middle)) ? above : under) = middle;
    }
    const double edge = FromBits(above);
    low_ = edge * (1.0 - 0x1p-30);
    high_ = edge * (1.0 + 0x1p-30);
}

}  // namespace dsp
