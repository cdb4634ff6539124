// Radix-2 complex FFT on single-precision data, in place.
//
// The data are n complex values held as (real, imaginary) float pairs; n is
// a power of two. Sign -1 is the forward transform, +1 the inverse; neither
// scales, so a forward and an inverse transform give n times the input.
//
// The arithmetic is fixed so that every build gives the same bytes: the
// twiddle of a stage with butterfly half-span h starts at (1, 0) and is
// multiplied after each butterfly group by (cos(pi / h), sign * sin(pi / h)),
// both rounded to floats, in single-precision arithmetic; each butterfly
// (t = twiddle * b; b = a - t; a = a + t) is computed in double and its two
// results are stored as floats.
//
// An FftPlan holds the bit-reversal pairs and the twiddles of one (n, sign)
// so that repeated transforms skip the recurrence; it computes the very same
// values the recurrence gives. Where dsp/cpu_features.h allows AVX2, two
// butterflies of a stage run side by side, each with the same operations;
// four where it takes AVX-512 at full width.
// A plan is immutable after construction and
// may be shared between threads.
#pragma once

#include <cstdint>
#include <vector>

namespace dsp {

class FftPlan {
public:
    // n: a power of two from 1 to 2^24; sign: -1 forward, +1 inverse.
    FftPlan(std::int32_t n, std::int32_t sign);

    std::int32_t size() const { return n_; }
    // Transforms data[0 .. 2n-1] in place.
    void Run(float* data) const;

    // The transform's first step puts input value k at place order()[k]
    // (its index with the bits reversed). A caller that puts its values
    // there itself runs the rest: RunReordered(data) on them gives what
    // Run gives on the values in their own order.
    const std::int32_t* order() const { return order_.data(); }
    void RunReordered(float* data) const;

    // RunReordered's first stage pairs places 2m and 2m + 1, with the
    // twiddle (1, 0). FirstButterfly(place) does one such butterfly on
    // place[0 .. 3]; a caller that does the whole first stage itself (where
    // its values make that butterfly trivial) runs the rest with
    // RunAfterFirstStage.
    static void FirstButterfly(float* place);
    void RunAfterFirstStage(float* data) const;

private:
    void RunFrom(float* data, std::int32_t firstStage) const;

    std::int32_t n_;
    std::int32_t stages_ = 0;
    std::vector<std::int32_t> swaps_;  // pairs of complex indices to exchange
    std::vector<std::int32_t> order_;
    // Twiddles of every stage in order, stage h holding h complex values.
    std::vector<float> twiddleRe_;
    std::vector<float> twiddleIm_;
    // The same, each value twice, as doubles: for two butterflies at once.
    std::vector<double> twiddleRe2_;
    std::vector<double> twiddleIm2_;
};

// One transform without keeping a plan. n must be a power of two.
void ComplexFft(float* data, std::int32_t n, std::int32_t sign);

}  // namespace dsp
