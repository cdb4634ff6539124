#include "dsp/iir_filter.h"

namespace dsp {

void IirFilter::Set(const double* outputCoefficients, std::int32_t outputCount,
                    const double* inputCoefficients, std::int32_t inputCount) {
    P = outputCount;
    Q = inputCount;
    for (int k = 0; k < kMaxOutputs; ++k) {
        a[k] = k < P ? outputCoefficients[k] : 0.0;
        outputs[k] = 0.0;
    }
    for (int k = 0; k < kMaxInputs; ++k) {
        b[k] = k < Q ? inputCoefficients[k] : 0.0;
        inputs[k] = 0.0;
    }
}

double IirFilter::Step(double x) {
    for (int k = Q - 1; k > 0; --k) inputs[k] = inputs[k - 1];
    inputs[0] = x;
    double f = inputs[0] * b[0];
    for (int k = 1; k < Q; ++k) f = f + inputs[k] * b[k];
    double g = 0.0;
    if (P > 0) {
        g = outputs[0] * a[0];
        for (int k = 1; k < P; ++k) g = g + outputs[k] * a[k];
    }
    const double y = f + g;
    for (int k = P - 1; k > 0; --k) outputs[k] = outputs[k - 1];
    if (P > 0) outputs[0] = y;
    return y;
}

}  // namespace dsp
