#include "dsp/signal_helpers.h"

#include <cmath>

#include "platform/random.h"

namespace dsp {

double GaussianNoise(float mean, float variance) {
    return GaussianNoiseFrom(platform::Random, mean, variance);
}

double LevelFollower::Update(double x) { return 10.0 * std::log10(Power(x)); }

}  // namespace dsp
