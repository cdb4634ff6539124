// The filter designer against Butterworth filters worked out here by other
// means: real second-order factors of the analogue prototype, the analogue
// low-pass to band-pass substitution and the bilinear substitution
// s = 2 (z - 1) / (z + 1), multiplied out as real polynomials.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/filter_design.h"

namespace {

using dsp::Complex;
using Poly = std::vector<double>;  // coefficients from z^0 (or s^0) upward

constexpr double kPi = 3.141592653589793;

Poly Mul(const Poly& a, const Poly& b) {
    Poly r(a.size() + b.size() - 1, 0.0);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j) r[i + j] += a[i] * b[j];
    return r;
}

Poly Pow(const Poly& p, int n) {
    Poly r{1.0};
    for (int i = 0; i < n; ++i) r = Mul(r, p);
    return r;
}

// Substitutes s = 2 (z - 1) / (z + 1) into a polynomial in s of degree n
// and multiplies by (z + 1)^n.
Poly BilinearSubstitute(const Poly& s) {
    const int n = static_cast<int>(s.size()) - 1;
    Poly r(n + 1, 0.0);
    for (int k = 0; k <= n; ++k) {
        Poly term = Mul(Pow({-2.0, 2.0}, k), Pow({1.0, 1.0}, n - k));
        for (int i = 0; i <= n; ++i) r[i] += s[k] * term[i];
    }
    return r;
}

Poly Monic(Poly p) {
    const double lead = p.back();
    for (double& c : p) c /= lead;
    return p;
}

// The monic z-plane denominator of a Butterworth low-pass of even order n
// with its -3 dB point at `alpha` of the sample rate.
Poly ReferenceLowPass(int n, double alpha) {
    const double w = 2.0 * std::tan(kPi * alpha);  // pre-warped corner
    Poly den{1.0};
    for (int k = 0; k < n / 2; ++k) {
        const double c = std::cos(kPi * (2.0 * k + n + 1.0) / (2.0 * n));
        // (s/w)^2 - 2 c (s/w) + 1, times w^2
        den = Mul(den, BilinearSubstitute({w * w, -2.0 * c * w, 1.0}));
    }
    return Monic(den);
}

// The monic z-plane denominator of a Butterworth band-pass from a prototype
// of even order n, edges alpha1 and alpha2.
Poly ReferenceBandPass(int n, double alpha1, double alpha2) {
    const double w1 = 2.0 * std::tan(kPi * alpha1);
    const double w2 = 2.0 * std::tan(kPi * alpha2);
    const double w0sq = w1 * w2;
    const double bw = w2 - w1;
    Poly den{1.0};
    for (int k = 0; k < n / 2; ++k) {
        const double c = std::cos(kPi * (2.0 * k + n + 1.0) / (2.0 * n));
        // u^2 - 2 c u + 1 with u = (s^2 + w0^2) / (s bw), times (s bw)^2
        const Poly q{w0sq, 0.0, 1.0};
        Poly quartic = Mul(q, q);
        const Poly middle = Mul(q, {0.0, -2.0 * c * bw});
        for (std::size_t i = 0; i < middle.size(); ++i) quartic[i] += middle[i];
        quartic[2] += bw * bw;
        den = Mul(den, BilinearSubstitute(quartic));
    }
    return Monic(den);
}

// Storage with the room the program gives each design.
struct DesignArrays {
    Complex sPoles[32], sZeros[32], zPoles[32], zZeros[32];
    double numerator[33], feedback[33];

    dsp::FilterDesign Make(std::int32_t options, int order, double alpha1, double alpha2 = 0.0) {
        dsp::FilterDesign d{};
        d.sPoles = sPoles;
        d.sZeros = sZeros;
        d.zPoles = zPoles;
        d.zZeros = zZeros;
        d.numerator = numerator;
        d.feedback = feedback;
        d.options = options;
        d.order = order;
        d.rawAlpha1 = alpha1;
        d.rawAlpha2 = alpha2;
        return d;
    }
};

// |H| at `alpha` of the sample rate from the design's roots. Evaluating the
// multiplied-out polynomials instead loses most digits for narrow bands,
// where the poles crowd together near the unit circle.
double RootMagnitude(const dsp::FilterDesign& d, double alpha) {
    const Complex z = dsp::ExpJ(2.0 * kPi * alpha);
    double m = 1.0;
    for (int i = 0; i < d.zZeroCount; ++i) m *= dsp::Modulus({z.re - d.zZeros[i].re, z.im - d.zZeros[i].im});
    for (int i = 0; i < d.zPoleCount; ++i) m /= dsp::Modulus({z.re - d.zPoles[i].re, z.im - d.zPoles[i].im});
    return m;
}

// |H| at `alpha` of the sample rate from the design's difference equation.
double Magnitude(const dsp::FilterDesign& d, double alpha) {
    const double w = 2.0 * kPi * alpha;
    double nr = 0, ni = 0, dr = 0, di = 0;
    for (int i = 0; i <= d.zZeroCount; ++i) {
        nr += d.numerator[i] * std::cos(i * w);
        ni += d.numerator[i] * std::sin(i * w);
    }
    for (int i = 0; i <= d.zPoleCount; ++i) {
        dr -= d.feedback[i] * std::cos(i * w);
        di -= d.feedback[i] * std::sin(i * w);
    }
    return std::sqrt((nr * nr + ni * ni) / (dr * dr + di * di));
}

void ExpectCoefficientsNear(const double* got, const Poly& monicDenominator) {
    for (std::size_t i = 0; i < monicDenominator.size(); ++i) {
        const double want = -monicDenominator[i];
        EXPECT_NEAR(got[i], want, 1e-9 * std::max(1.0, std::fabs(want))) << "y_" << i;
    }
}

TEST(FilterDesignTest, LowPassOfOrderFourMatchesAnIndependentButterworth) {
    for (double alpha : {20.0 / 44100.0, 100.0 / 44100.0, 50.0 / 8000.0, 0.2}) {
        DesignArrays arrays;
        dsp::FilterDesign d = arrays.Make(34, 4, alpha);
        ASSERT_TRUE(dsp::Design(d));
        ASSERT_EQ(d.zPoleCount, 4);
        ASSERT_EQ(d.zZeroCount, 4);
        EXPECT_EQ(d.rawAlpha2, alpha);
        const double expectedNumerator[] = {1, 4, 6, 4, 1};
        for (int i = 0; i < 5; ++i) EXPECT_EQ(d.numerator[i], expectedNumerator[i]);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(d.zZeros[i].re, -1.0);
        EXPECT_EQ(d.feedback[4], -1.0);
        ExpectCoefficientsNear(d.feedback, ReferenceLowPass(4, alpha));

        // -3 dB at the corner, where the centre gain of a low-pass is taken.
        // The designer evaluates its gains on the multiplied-out polynomials;
        // near z = 1 with a corner of 20 Hz at 44100 Hz that cancels all but
        // about five digits.
        const double dc = dsp::Modulus(d.dcGain);
        EXPECT_NEAR(dsp::Modulus(d.centreGain) / dc, std::sqrt(0.5), 1e-5);
        EXPECT_NEAR(RootMagnitude(d, alpha) / RootMagnitude(d, 0.0), std::sqrt(0.5), 1e-9);
        EXPECT_NEAR(dsp::Modulus(d.centreGain), RootMagnitude(d, alpha), 1e-5 * dc);
        EXPECT_EQ(dsp::Modulus(d.highFrequencyGain), 0.0);
    }
}

TEST(FilterDesignTest, BandPassOfOrderSixMatchesAnIndependentButterworth) {
    // Band 10 of the vocoder (centre 1093 Hz) at 44100 Hz, a band near the
    // top at 48000 Hz, and a wide one.
    const double c3 = 1.2599210498948732;
    const double h10 = (c3 * 1093 - 1093) * 0.5;
    EXPECT_NEAR(1093 - h10, 950.953, 5e-4);
    EXPECT_NEAR(1093 + h10, 1235.047, 5e-4);
    const double h17 = (c3 * 5512 - 5512) * 0.5;
    const double cases[][2] = {{(1093 - h10) / 44100, (1093 + h10) / 44100},
                               {(5512 - h17) / 48000, (5512 + h17) / 48000},
                               {0.05, 0.3}};
    for (const auto& edges : cases) {
        DesignArrays arrays;
        dsp::FilterDesign d = arrays.Make(130, 6, edges[0], edges[1]);
        ASSERT_TRUE(dsp::Design(d));
        ASSERT_EQ(d.zPoleCount, 12);
        ASSERT_EQ(d.zZeroCount, 12);
        const double expectedNumerator[] = {1, 0, -6, 0, 15, 0, -20, 0, 15, 0, -6, 0, 1};
        for (int i = 0; i < 13; ++i) EXPECT_EQ(d.numerator[i], expectedNumerator[i]) << i;
        int atPlusOne = 0, atMinusOne = 0;
        for (int i = 0; i < 12; ++i) {
            atPlusOne += d.zZeros[i].re == 1.0 && d.zZeros[i].im == 0.0;
            atMinusOne += d.zZeros[i].re == -1.0 && d.zZeros[i].im == 0.0;
            EXPECT_LT(dsp::Modulus(d.zPoles[i]), 1.0);
        }
        EXPECT_EQ(atPlusOne, 6);
        EXPECT_EQ(atMinusOne, 6);
        ExpectCoefficientsNear(d.feedback, ReferenceBandPass(6, edges[0], edges[1]));

        // Peak gain where the pre-warped centre lies, -3 dB at both edges.
        const double centre =
            std::atan(std::sqrt(std::tan(kPi * edges[0]) * std::tan(kPi * edges[1]))) / kPi;
        const double peak = RootMagnitude(d, centre);
        EXPECT_NEAR(RootMagnitude(d, edges[0]) / peak, std::sqrt(0.5), 1e-9);
        EXPECT_NEAR(RootMagnitude(d, edges[1]) / peak, std::sqrt(0.5), 1e-9);
        EXPECT_EQ(dsp::Modulus(d.dcGain), 0.0);
        EXPECT_EQ(dsp::Modulus(d.highFrequencyGain), 0.0);
    }
    // The centre gain is taken at the mean of the two raw alphas; on a wide
    // band the multiplied-out polynomials still carry enough digits to check
    // it (on narrow ones they do not, which is why the vocoder's bands run as
    // second-order sections built from the poles).
    DesignArrays arrays;
    dsp::FilterDesign wide = arrays.Make(130, 6, 0.05, 0.3);
    ASSERT_TRUE(dsp::Design(wide));
    EXPECT_NEAR(dsp::Modulus(wide.centreGain), RootMagnitude(wide, 0.175),
                1e-7 * RootMagnitude(wide, 0.175));
    EXPECT_NEAR(Magnitude(wide, 0.175), RootMagnitude(wide, 0.175), 1e-7 * RootMagnitude(wide, 0.175));
}

TEST(FilterDesignTest, PrototypePolesAndPrewarp) {
    // Odd order: one pole exactly on the negative real axis; the poles come
    // in increasing angle and each one uses a bit of the mask.
    DesignArrays arrays;
    dsp::FilterDesign odd = arrays.Make(34, 3, 0.1);
    ASSERT_TRUE(dsp::Design(odd));
    const double w = 2.0 * std::tan(kPi * 0.1);
    ASSERT_EQ(odd.sPoleCount, 3);
    EXPECT_NEAR(odd.sPoles[0].re, std::cos(2 * kPi / 3) * w, 1e-12);
    EXPECT_NEAR(odd.sPoles[0].im, std::sin(2 * kPi / 3) * w, 1e-12);
    EXPECT_EQ(odd.sPoles[1].re, -w);
    EXPECT_NEAR(odd.sPoles[2].im, -odd.sPoles[0].im, 1e-12);
    EXPECT_EQ(odd.poleMask, 0xFFFFFFFFu >> 3);
    EXPECT_EQ(odd.warpedAlpha1, std::tan(kPi * 0.1) / kPi);
    EXPECT_EQ(odd.sZeroCount, 0);
    EXPECT_EQ(odd.zZeroCount, 3);

    // Even order: no pole on the real axis.
    dsp::FilterDesign even = arrays.Make(34, 4, 0.1);
    ASSERT_TRUE(dsp::Design(even));
    for (int i = 0; i < 4; ++i) EXPECT_GT(std::fabs(even.sPoles[i].im), 0.1);
    EXPECT_GT(even.sPoles[0].im, 0.0);
    EXPECT_LT(even.sPoles[3].im, 0.0);
}

TEST(FilterDesignTest, DesignsThatCannotBeMadeAreRefused) {
    DesignArrays arrays;
    dsp::FilterDesign chebyshevLike = arrays.Make(0x20, 4, 0.1);
    EXPECT_FALSE(dsp::Design(chebyshevLike));
    dsp::FilterDesign both = arrays.Make(0x2 | 0x20 | 0x80, 4, 0.1, 0.2);
    EXPECT_FALSE(dsp::Design(both));
    // The arrays hold 32 roots: a band-pass of order 17 would need 34.
    dsp::FilterDesign tooLong = arrays.Make(130, 17, 0.1, 0.2);
    EXPECT_FALSE(dsp::Design(tooLong));
    dsp::FilterDesign longest = arrays.Make(34, 32, 0.1);
    dsp::Design(longest);  // fits the arrays; it may fail the realness check
    EXPECT_EQ(longest.zPoleCount, 32);
    dsp::FilterDesign empty = arrays.Make(34, 0, 0.1);
    EXPECT_FALSE(dsp::Design(empty));
}

}  // namespace
