// A direct-form recursive filter with newest-first histories.
#pragma once

#include <cstdint>

namespace dsp {

// y = sum(input history[k] * b[k]) + sum(output history[k] * a[k]), each
// sum from k = 0 (the newest value) upward; a[0] multiplies the previous
// output, b[0] the current input. Histories start at zero.
struct IirFilter {
    static constexpr int kMaxOutputs = 12;
    static constexpr int kMaxInputs = 13;

    double a[kMaxOutputs];        // output coefficients
    double b[kMaxInputs];         // input coefficients
    double outputs[kMaxOutputs];  // output history, newest first
    double inputs[kMaxInputs];    // input history, newest first
    std::int32_t P;               // output count
    std::int32_t Q;               // input count, at least 1

    // Coefficients copied in, histories cleared.
    void Set(const double* outputCoefficients, std::int32_t outputCount,
             const double* inputCoefficients, std::int32_t inputCount);
    double Step(double x);
};

}  // namespace dsp
