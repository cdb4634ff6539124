#include "dsp/signal_helpers.h"

#include <cmath>

#include "platform/random.h"

namespace dsp {

double GaussianNoise(float mean, float variance) {
    float sum = 0.0f;
    for (int i = 0; i < 12; ++i) {
        const double r = platform::Random();
        sum = static_cast<float>(static_cast<double>(sum) + r * 3.051850947599719e-05);
    }
    return static_cast<double>(mean) +
           std::sqrt(static_cast<double>(variance)) * (static_cast<double>(sum) - 6.0);
}

double LevelFollower::Update(double x) { return 10.0 * std::log10(Power(x)); }

}  // namespace dsp
