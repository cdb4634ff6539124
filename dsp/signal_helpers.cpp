#include "dsp/signal_helpers.h"

#include <cmath>

#include "dsp/log10.h"
#include "platform/random.h"

namespace dsp {

double GaussianNoise(float mean, float variance) {
    return GaussianNoiseFrom(platform::Random, mean, variance);
}

double LevelFollower::Update(double x) { return 10.0 * Log10(Power(x)); }

}  // namespace dsp
