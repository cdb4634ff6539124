#include "dsp/signal_helpers.h"

#include <cmath>

#include "dsp/log10.h"

namespace dsp {

double NormalisingFactor(std::uint16_t bitsPerSample) { return std::ldexp(1.0, bitsPerSample); }

double LevelFollower::Update(double x) { return 10.0 * Log10(Power(x)); }

}  // namespace dsp
