// Signal helpers shared by several effects.
#pragma once

#include <cmath>

namespace dsp {

// Approximately normal noise from twelve uniform draws of the run's random
// generator, summed in single precision (rounded after every addition).
// Never further than 6 * sqrt(variance) from the mean.
double GaussianNoise(float mean, float variance);

// The same with the twelve values taken from draw(), a source of rand()
// values such as a local copy of the run's generator.
template <class Draw>
double GaussianNoiseFrom(Draw&& draw, float mean, float variance) {
    float sum = 0.0f;
    for (int i = 0; i < 12; ++i) {
        const double r = draw();
        sum = static_cast<float>(static_cast<double>(sum) + r * 3.051850947599719e-05);
    }
    return static_cast<double>(mean) +
           std::sqrt(static_cast<double>(variance)) * (static_cast<double>(sum) - 6.0);
}

// A smoothed level in decibels: acc = s*s*cNew + acc*cOld on the
// normalised sample, reported as 10*log10(acc + 1e-9).
class LevelFollower {
public:
    LevelFollower(double cOld, double cNew, double P) : cOld_(cOld), cNew_(cNew), P_(P) {}
    double Update(double x);
    // The same step without the logarithm: returns acc + 1e-9, the power
    // whose 10*log10 Update(x) would report.
    double Power(double x) {
        const double s = x * (1.0 / P_);
        acc_ = (s * s) * cNew_ + acc_ * cOld_;
        return acc_ + 1e-9;
    }

private:
    double cOld_;
    double cNew_;
    double P_;
    double acc_ = 0.0;
};

// Per-effect follower coefficients; cNew is 1 - cOld as computed in double.
constexpr double kAlienatorLevelOld = 0.95;
constexpr double kAlienatorLevelNew = 0.050000000000000044;
constexpr double kCommunicatorLevelOld = 0.99;
constexpr double kCommunicatorLevelNew = 0.010000000000000009;

}  // namespace dsp
