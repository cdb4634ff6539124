#include "dsp/signal_helpers.h"

#include <cmath>

#include "dsp/log10.h"

namespace dsp {

std::int16_t Store(double value) {
    // 2^63: the first magnitude outside the signed 64-bit range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= kLimit || value < -kLimit) return 0;
    auto whole = static_cast<std::int64_t>(value);  // truncates toward zero
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(whole & 0xFFFF));
}

double NormalisingFactor(std::uint16_t bitsPerSample) { return std::ldexp(1.0, bitsPerSample); }

double LevelFollower::Update(double x) { return 10.0 * Log10(Power(x)); }

}  // namespace dsp
