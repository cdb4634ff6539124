// Signal helpers shared by several effects.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "dsp/random_generator.h"

namespace dsp {

// A result as a 16-bit sample: truncated toward zero, the low 16 bits kept,
// nothing saturates. A value that is not finite or lies beyond the 64-bit
// range gives 0. Inline: every effect calls it once or twice per sample.
inline std::int16_t Store(double value) {
    // 2^63: the first magnitude outside the signed 64-bit range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= kLimit || value < -kLimit) return 0;
    auto whole = static_cast<std::int64_t>(value);  // truncates toward zero
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(whole & 0xFFFF));
}

// samples[i] = Store(Store(wet[i] p wetMix 0.01) + samples[i] dryMix 0.01)
// for i < count: a mix in which the wet value is stored to 16 bits before
// the dry part is added.
void MixStoredWet(const float* wet, double p, double wetMix, double dryMix, std::int16_t* samples,
                  std::int32_t count);

// P = 2^bitsPerSample: s = x / P maps 16-bit full scale to about +-0.5.
double NormalisingFactor(std::uint16_t bitsPerSample);

// One of a Gaussian value's twelve additions, rounded to single precision,
// and the value from the sum of all twelve.
inline float GaussianStep(float sum, double r) {
    return static_cast<float>(static_cast<double>(sum) + r * 3.051850947599719e-05);
}

inline double GaussianFromSum(float sum, float mean, float variance) {
    return static_cast<double>(mean) +
           std::sqrt(static_cast<double>(variance)) * (static_cast<double>(sum) - 6.0);
}

// Approximately normal noise from twelve uniform values of draw(), a source
// of rand() values such as the run's generator, summed in single precision
// (rounded after every addition). Never further than 6 * sqrt(variance)
// from the mean.
template <class Draw>
double GaussianNoiseFrom(Draw&& draw, float mean, float variance) {
    float sum = 0.0f;
    for (int i = 0; i < 12; ++i) sum = GaussianStep(sum, draw());
    return GaussianFromSum(sum, mean, variance);
}

// out[i] = GaussianNoiseFrom(a generator in state states[i], mean, variance)
// for i < count: the same values, with several sums (whose twelve rounded
// additions form one long chain each) side by side.
void GaussianNoisesFrom(const std::uint32_t* states, std::size_t count, float mean, float variance,
                        double* out);

// count values of GaussianNoiseFrom(rng, mean, variance) in a row, and rng
// past them.
void GaussianNoises(RandomGenerator& rng, std::size_t count, float mean, float variance,
                    double* out);

// A smoothed level in decibels: acc = s*s*cNew + acc*cOld on the
// normalised sample, reported as 10*log10(acc + 1e-9).
class LevelFollower {
public:
    LevelFollower(double cOld, double cNew, double P)
        : cOld_(cOld), cNew_(cNew), oneOverP_(1.0 / P) {}
    double Update(double x);
    // The same step without the logarithm: returns acc + 1e-9, the power
    // whose 10*log10 Update(x) would report.
    double Power(double x) {
        const double s = x * oneOverP_;
        acc_ = (s * s) * cNew_ + acc_ * cOld_;
        return acc_ + 1e-9;
    }

private:
    double cOld_;
    double cNew_;
    double oneOverP_;  // 1 / P, as the step would compute it
    double acc_ = 0.0;
};

// Per-effect follower coefficients; cNew is 1 - cOld as computed in double.
constexpr double kAlienatorLevelOld = 0.95;
constexpr double kAlienatorLevelNew = 0.050000000000000044;
constexpr double kCommunicatorLevelOld = 0.99;
constexpr double kCommunicatorLevelNew = 0.010000000000000009;

}  // namespace dsp
