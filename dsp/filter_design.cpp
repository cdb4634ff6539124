#include "dsp/filter_design.h"

#include <cmath>

namespace dsp {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// Coefficients of a multiplied-out polynomial must be real to this bound.
constexpr double kImaginaryTolerance = 1e-10;

double SqrtOrZero(double v) { return v < 0.0 ? 0.0 : std::sqrt(v); }

// Coefficients (from z^0 upward) of the product of (z - root) over all
// roots, built from [1] one root at a time. False when a coefficient is not
// real within the tolerance. A NaN passes, as the comparison is false.
bool Expand(const Complex* roots, int count, Complex* c) {
    c[0] = {1.0, 0.0};
    for (int j = 0; j < count; ++j) {
        const Complex w = roots[j];
        c[j + 1] = {0.0, 0.0};
        for (int k = j + 1; k >= 1; --k) {
            const Complex wc = Multiply(w, c[k]);
            c[k] = {c[k - 1].re - wc.re, c[k - 1].im - wc.im};
        }
        const Complex wc = Multiply(w, c[0]);
        c[0] = {-wc.re, -wc.im};
    }
    for (int k = 0; k <= count; ++k) {
        if (std::fabs(c[k].im) > kImaginaryTolerance) return false;
    }
    return true;
}

// Horner's rule from the highest coefficient down.
Complex Evaluate(const Complex* c, int degree, Complex z) {
    Complex acc = c[degree];
    for (int k = degree - 1; k >= 0; --k) {
        const Complex t = Multiply(acc, z);
        acc = {t.re + c[k].re, t.im + c[k].im};
    }
    return acc;
}

// Butterworth poles on the left half of the unit circle, in increasing
// angle, each admitted by its bit of the pole mask.
void PlacePrototypePoles(FilterDesign& d) {
    d.sPoleCount = 0;
    const bool odd = (d.order % 2) != 0;
    for (int i = 0; i < 2 * d.order; ++i) {
        const double step = odd ? static_cast<double>(i) : i + 0.5;
        const Complex candidate = ExpJ(step * kPi / d.order);
        if (candidate.re >= 0.0) continue;
        if ((d.poleMask & 1u) != 0) d.sPoles[d.sPoleCount++] = candidate;
        d.poleMask >>= 1;
    }
}

void TransformToLowPass(FilterDesign& d, double w1) {
    for (int i = 0; i < d.sPoleCount; ++i) {
        d.sPoles[i] = {d.sPoles[i].re * w1, d.sPoles[i].im * w1};
    }
    d.sZeroCount = 0;
}

// Each prototype pole p becomes the pair hba * (1 +- sqrt(1 - (w0/hba)^2))
// with hba = bw * p / 2; the band-pass gains a zero at s = 0 per pole.
void TransformToBandPass(FilterDesign& d, double w1, double w2) {
    const double w0 = std::sqrt(w1 * w2);
    const double bw = w2 - w1;
    const int n = d.sPoleCount;
    for (int i = 0; i < n; ++i) {
        const Complex p = d.sPoles[i];
        const Complex scaled = {p.re * bw, p.im * bw};
        const Complex hba = {0.5 * scaled.re, 0.5 * scaled.im};
        const Complex ratio = Divide({w0, 0.0}, hba);
        const Complex square = Multiply(ratio, ratio);
        const Complex t = SquareRoot({1.0 - square.re, 0.0 - square.im});
        d.sPoles[i] = Multiply(hba, {1.0 + t.re, 0.0 + t.im});
        d.sPoles[n + i] = Multiply(hba, {1.0 - t.re, 0.0 - t.im});
    }
    for (int i = 0; i < n; ++i) d.sZeros[i] = {0.0, 0.0};
    d.sZeroCount = n;
    d.sPoleCount = 2 * n;
}

Complex Bilinear(Complex s) { return Divide({2.0 + s.re, 0.0 + s.im}, {2.0 - s.re, 0.0 - s.im}); }

}  // namespace

Complex Multiply(Complex a, Complex b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

Complex Divide(Complex a, Complex b) {
    const double denominator = b.re * b.re + b.im * b.im;
    return {(a.re * b.re + a.im * b.im) / denominator, (a.im * b.re - a.re * b.im) / denominator};
}

Complex ExpJ(double theta) { return {std::cos(theta), std::sin(theta)}; }

double Modulus(Complex z) { return std::sqrt(z.re * z.re + z.im * z.im); }

Complex SquareRoot(Complex z) {
    const double r = Modulus(z);
    const double re = SqrtOrZero((r + z.re) / 2.0);
    double im = SqrtOrZero((r - z.re) / 2.0);
    if (z.im < 0.0) im = -im;
    return {re, im};
}

bool Design(FilterDesign& d) {
    const bool butterworth = (d.options & kDesignButterworth) != 0;
    const bool lowPass = (d.options & kDesignLowPass) != 0;
    const bool bandPass = (d.options & kDesignBandPass) != 0;
    if (!butterworth || lowPass == bandPass) return false;
    const int maxOrder = bandPass ? kDesignMaxRoots / 2 : kDesignMaxRoots;
    if (d.order < 1 || d.order > maxOrder) return false;

    d.poleMask = 0xFFFFFFFFu;
    if (!bandPass) d.rawAlpha2 = d.rawAlpha1;

    PlacePrototypePoles(d);

    d.warpedAlpha1 = std::tan(kPi * d.rawAlpha1) / kPi;
    d.warpedAlpha2 = std::tan(kPi * d.rawAlpha2) / kPi;
    const double w1 = kTwoPi * d.warpedAlpha1;
    const double w2 = kTwoPi * d.warpedAlpha2;
    if (bandPass) {
        TransformToBandPass(d, w1, w2);
    } else {
        TransformToLowPass(d, w1);
    }

    d.zPoleCount = d.sPoleCount;
    d.zZeroCount = d.sZeroCount;
    for (int i = 0; i < d.sPoleCount; ++i) d.zPoles[i] = Bilinear(d.sPoles[i]);
    for (int i = 0; i < d.sZeroCount; ++i) d.zZeros[i] = Bilinear(d.sZeros[i]);
    while (d.zZeroCount < d.zPoleCount) d.zZeros[d.zZeroCount++] = {-1.0, 0.0};

    Complex numerator[kDesignMaxRoots + 1];
    Complex denominator[kDesignMaxRoots + 1];
    if (!Expand(d.zZeros, d.zZeroCount, numerator)) return false;
    if (!Expand(d.zPoles, d.zPoleCount, denominator)) return false;

    const int Z = d.zZeroCount;
    const int P = d.zPoleCount;
    auto response = [&](Complex z) {
        return Divide(Evaluate(numerator, Z, z), Evaluate(denominator, P, z));
    };
    d.dcGain = response({1.0, 0.0});
    d.centreGain = response(ExpJ(kPi * (d.rawAlpha1 + d.rawAlpha2)));
    d.highFrequencyGain = response({-1.0, 0.0});

    const double lead = denominator[P].re;
    for (int i = 0; i <= Z; ++i) d.numerator[i] = numerator[i].re / lead;
    for (int i = 0; i <= P; ++i) d.feedback[i] = -denominator[i].re / lead;
    return true;
}

}  // namespace dsp
