// A direct-form recursive filter with newest-first histories, and the
// choice of instruction set for filters run side by side.
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

// Filters of one shape can run side by side in lanes of four, each lane
// doing exactly the arithmetic of IirFilter::Step, in the same order. With
// AVX2 (checked at run time) the four lanes are one register; otherwise the
// same code runs on SSE2 pairs or scalars. Both give the same bytes.
bool UseAvx2Lanes();

namespace testing {
// Forbids (false) or allows again (true) the AVX2 lanes, so tests can run
// both paths on one machine.
void AllowAvx2Lanes(bool allowed);
}  // namespace testing

}  // namespace dsp
