// The complex FFT: against a direct DFT, the inverse round trip, and bit for
// bit against the plain transform that runs the twiddle recurrence inline,
// also where the caller puts the values in the transform's order, or runs
// its first stage, itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/fft.h"
#include "tests/pitch_reference.h"

namespace {

std::vector<float> RandomComplex(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> data(2 * n);
    for (float& v : data) v = dist(gen);
    return data;
}

// Largest deviation between `data` and the exact DFT of `input` (long
// double), relative to the input's RMS times n.
double WorstDftError(const std::vector<float>& input, const std::vector<float>& data, int sign) {
    const int n = static_cast<int>(input.size() / 2);
    double worst = 0.0, power = 0.0;
    for (int i = 0; i < n; ++i) power += input[2 * i] * input[2 * i] + input[2 * i + 1] * input[2 * i + 1];
    const double rms = std::sqrt(power / n);
    for (int k = 0; k < n; ++k) {
        std::complex<long double> sum = 0;
        for (int i = 0; i < n; ++i) {
            const long double angle = sign * 2.0L * 3.14159265358979323846L * ((static_cast<long long>(i) * k) % n) / n;
            sum += std::complex<long double>(input[2 * i], input[2 * i + 1]) *
                   std::complex<long double>(std::cos(angle), std::sin(angle));
        }
        const double err = std::hypot(static_cast<double>(sum.real()) - data[2 * k],
                                      static_cast<double>(sum.imag()) - data[2 * k + 1]);
        worst = std::max(worst, err / (rms * n));
    }
    return worst;
}

TEST(FftTest, MatchesDirectDftInBothDirections) {
    for (int n = 1; n <= 1024; n *= 2) {
        for (int sign : {-1, +1}) {
            const std::vector<float> input = RandomComplex(n, 7u + n);
            std::vector<float> data = input;
            dsp::ComplexFft(data.data(), n, sign);
            // Single-precision storage after every stage and float twiddles:
            // a few float epsilons per stage, relative to the transform's size.
            EXPECT_LT(WorstDftError(input, data, sign), 2e-6 * (1 + std::log2(n)))
                << "n " << n << " sign " << sign;
        }
    }
}

TEST(FftTest, ForwardThenInverseGivesNTimesTheInput) {
    for (int n : {2, 16, 256, 4096}) {
        const std::vector<float> input = RandomComplex(n, 99u + n);
        std::vector<float> data = input;
        dsp::ComplexFft(data.data(), n, -1);
        dsp::ComplexFft(data.data(), n, +1);
        for (int i = 0; i < 2 * n; ++i) {
            // No scaling anywhere. Rounding grows with the stage count, and
            // the float twiddle recurrence drifts with the number of groups.
            const double tolerance = n * (1e-6 * (1 + std::log2(n)) + 3e-8 * n);
            ASSERT_NEAR(data[i], n * input[i], tolerance) << n << " " << i;
        }
    }
}

TEST(FftTest, SmallestSizesAreExact) {
    float one[2] = {0.25f, -3.0f};
    dsp::ComplexFft(one, 1, -1);
    EXPECT_EQ(one[0], 0.25f);
    EXPECT_EQ(one[1], -3.0f);
    float two[4] = {1.0f, 2.0f, 3.0f, 5.0f};
    dsp::ComplexFft(two, 2, -1);
    EXPECT_EQ(std::vector<float>(two, two + 4), (std::vector<float>{4.0f, 7.0f, -2.0f, -3.0f}));
}

TEST(FftTest, PlanGivesTheSameBitsAsTheInlineRecurrence) {
    for (int n : {4, 8, 64, 256, 2048}) {
        for (int sign : {-1, +1}) {
            const dsp::FftPlan plan(n, sign);
            for (unsigned seed = 0; seed < 4; ++seed) {
                std::vector<float> fast = RandomComplex(n, seed * 31 + n);
                std::vector<float> plain = fast;
                // Values put at their places by the caller, the rest run alone.
                std::vector<float> placed(fast.size());
                for (int k = 0; k < n; ++k) {
                    std::copy_n(&fast[2 * k], 2, &placed[2 * plan.order()[k]]);
                }
                // And the first stage done butterfly by butterfly.
                std::vector<float> staged = placed;
                for (int m = 0; m < n; m += 2) dsp::FftPlan::FirstButterfly(&staged[2 * m]);
                plan.RunAfterFirstStage(staged.data());
                plan.Run(fast.data());
                plan.RunReordered(placed.data());
                reference::Fft(plain.data(), n, sign);
                ASSERT_EQ(0, std::memcmp(fast.data(), plain.data(), fast.size() * sizeof(float)))
                    << "n " << n << " sign " << sign;
                ASSERT_EQ(0, std::memcmp(placed.data(), plain.data(), fast.size() * sizeof(float)))
                    << "reordered, n " << n << " sign " << sign;
                ASSERT_EQ(0, std::memcmp(staged.data(), plain.data(), fast.size() * sizeof(float)))
                    << "after the first stage, n " << n << " sign " << sign;
            }
        }
    }
}

}  // namespace
