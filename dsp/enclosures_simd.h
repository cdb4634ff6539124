// Enclosures of the C library's atan2, cos and sin, four values at a time
// with AVX2 and FMA or eight with AVX-512, for the loops that would
// otherwise call the library once per value.
//
// The effects' phases, sines and cosines are the C library's atan2, sin
// and cos. Computing them here instead would change bits wherever our values
// and the library's differ in the last place. What is computed here is an
// interval [lo, hi] sure to hold the library's value: our own value widened
// by far more than both its error (about 2^-52, and tested against the
// library) and the library's (a few units in the last place). Where a
// caller keeps of such a value only what IEEE operations monotonic in it
// make of it (sums, products by a fixed number, roundings, truncation), and
// lo and hi lead to the same kept bits, so does every value between them,
// the library's among them: the caller may take our value. Where they lead
// to different bits, or an operand lies outside what an enclosure covers
// (its interval is then unbounded), the caller calls the library.
//
// Include this as dsp/simd.h says, and call it only where the processor has
// what the includer's target names.
#pragma once

#include "dsp/enclosures.h"
#include "dsp/simd.h"

namespace dsp::enclosures {
namespace {

using namespace simd;

constexpr double kPi = 3.141592653589793;

template <class W>
struct Enclosure {
    Doubles<W> lo, hi;
};

#define SIMD TOVANA_SIMD_TARGET inline

template <class W>
SIMD Enclosure<W> Widened(Doubles<W> value, Doubles<W> spread) {
    return {Sub(value, spread), Add(value, spread)};
}

// Lanes with low < v < high (so not NaNs).
template <class W>
SIMD typename W::Mask Between(Doubles<W> v, Doubles<W> low, Doubles<W> high) {
    return And(Compare<_CMP_GT_OQ>(v, low), Compare<_CMP_LT_OQ>(v, high));
}

// Unbounded in the lanes of `outside`.
template <class W>
SIMD void Unbound(Enclosure<W>& e, typename W::Mask outside) {
    using V = Doubles<W>;
    const double inf = __builtin_inf();
    e.lo = Select(outside, Splat(V{}, -inf), e.lo);
    e.hi = Select(outside, Splat(V{}, inf), e.hi);
}

// c[0] + c[1] x + ... + c[n-1] x^(n-1), with fused steps.
template <class W>
SIMD Doubles<W> Polynomial(Doubles<W> x, const double* c, int n) {
    using V = Doubles<W>;
    V sum = Splat(V{}, c[n - 1]);
#pragma GCC unroll 16
    for (int i = n - 2; i >= 0; --i) sum = MulAdd(sum, x, Splat(V{}, c[i]));
    return sum;
}

constexpr double kAtanSeries[] = {1.0, -1.0 / 3, 1.0 / 5, -1.0 / 7, 1.0 / 9, -1.0 / 11, 1.0 / 13};
// atan(i / 8), i = 0 .. 8, each the nearest double.
constexpr double kAtanOfEighths[] = {0.0,
                                     0.12435499454676144,
                                     0.24497866312686414,
                                     0.35877067027057225,
                                     0.4636476090008061,
                                     0.5585993153435624,
                                     0.6435011087932844,
                                     0.7188299996216245,
                                     0.7853981633974483};

// atan2(y, x) for finite, nonzero x and y; other lanes are unbounded. The
// ratio t = min(|x|, |y|) / max(|x|, |y|) lies in 0 .. 1; with c = i/8 the
// nearest eighth, atan t = atan c + atan u, u = (t - c) / (1 + t c), and
// |u| <= 0.07 (checked), where u - u^3/3 + ... + u^13/13 misses atan u by
// less than 2^-57 of it. The roundings of u and the sum stay within 2^-49
// relatively (atan c is the nearest double to it, and the sum cancels at
// most half of it); the interval is 2^-40 of the value either side.
template <class W>
SIMD Enclosure<W> EncloseAtan2(Doubles<W> y, Doubles<W> x) {
    using V = Doubles<W>;
    using Floats = typename W::Floats;
    const V zero = Splat(V{}, 0.0), inf = Splat(V{}, __builtin_inf());
    const V a = Abs(y), b = Abs(x);
    const V small = Min(a, b), large = Max(a, b);
    // The nearest eighth of a rough ratio, in single precision; a poor
    // choice only makes |u| too large, which the check below catches.
    const Floats rough = Mul(ToFloats(small), Reciprocal(ToFloats(large)));
    const Floats eighths = Min(Max(Nearest(Mul(rough, Splat(Floats{}, 8.0f))), Splat(Floats{}, 0.0f)),
                               Splat(Floats{}, 8.0f));  // a rough NaN becomes 0
    const auto index = ToInts(eighths);
    const V c = Mul(ToDoubles(V{}, index), Splat(V{}, 0.125));
    const V u = Div(NegMulAdd(c, large, small), MulAdd(c, small, large));
    V angle = MulAdd(u, Polynomial<W>(Mul(u, u), kAtanSeries, 7), Gather(V{}, kAtanOfEighths, index));
    angle = Select(Compare<_CMP_GT_OQ>(a, b), Sub(Splat(V{}, kPi / 2), angle), angle);  // steep
    angle = Select(Compare<_CMP_LT_OQ>(x, zero), Sub(Splat(V{}, kPi), angle), angle);
    angle = OrBits(angle, SignOf(y));
    Enclosure<W> e = Widened<W>(angle, Mul(Abs(angle), Splat(V{}, 0x1p-40)));
    const auto covered = And(And(Between<W>(a, zero, inf), Between<W>(b, zero, inf)),
                             Compare<_CMP_LE_OQ>(Abs(u), Splat(V{}, 0.07)));
    Unbound(e, AndNot(covered, AllLanes(V{})));
    return e;
}

constexpr double kSinSeries[] = {1.0,          -1.0 / 6,         1.0 / 120,
                                 -1.0 / 5040,  1.0 / 362880,     -1.0 / 39916800,
                                 1.0 / 6227020800, -1.0 / 1307674368000};
constexpr double kCosSeries[] = {1.0,           -1.0 / 2,           1.0 / 24,
                                 -1.0 / 720,    1.0 / 40320,        -1.0 / 3628800,
                                 1.0 / 479001600, -1.0 / 87178291200, 1.0 / 20922789888000};

// cos x and sin x for |x| < 2^40 (other lanes unbounded; 0 exactly, as the
// C standard has it: 1 and x). r = x - n pi/2, with n the whole number
// nearest to x 2/pi, is within 2^-52 of the truth from two fused steps:
// pi/2 is split into the double nearest to it, P1, and the double nearest
// to the rest, P2; n P1 comes off x exactly (where n is not 0, |x| > 0.78,
// so x and n P1 are multiples of 2^-53 and their difference is one below
// 1), and what P1 + P2 misses of pi/2 costs n 2^-107 < 2^-66. On
// |r| <= pi/4 (and a little) the Taylor series to r^15 and r^16 miss by
// less than 2^-54. The whole is within 2^-50 of the true values; the
// interval is 2^-44 either side.
template <class W>
SIMD void EncloseSinCos(Doubles<W> x, Enclosure<W>& cosine, Enclosure<W>& sine) {
    using V = Doubles<W>;
    constexpr double kP1 = 1.5707963267948966;     // pi/2 to the nearest double
    constexpr double kP2 = 6.123233995736766e-17;  // pi/2 - P1 to the nearest double
    const V n = Nearest(Mul(x, Splat(V{}, 2 / kPi)));
    V r = NegMulAdd(n, Splat(V{}, kP1), x);
    r = NegMulAdd(n, Splat(V{}, kP2), r);
    const V r2 = Mul(r, r);
    const V s = Mul(r, Polynomial<W>(r2, kSinSeries, 8));
    const V c = Polynomial<W>(r2, kCosSeries, 9);
    // The quarter turn n mod 4 picks and signs them.
    const V whole = Floor(Mul(n, Splat(V{}, 0.25)));
    const V quarter = NegMulAdd(Splat(V{}, 4.0), whole, n);
    const V one = Splat(V{}, 1.0), two = Splat(V{}, 2.0);
    const auto first = Compare<_CMP_EQ_OQ>(quarter, one);
    const auto odd = Or(first, Compare<_CMP_EQ_OQ>(quarter, Splat(V{}, 3.0)));
    const auto cosNegative = Or(first, Compare<_CMP_EQ_OQ>(quarter, two));
    const auto sinNegative = Compare<_CMP_GE_OQ>(quarter, two);
    const V zero = Splat(V{}, 0.0), sign = Splat(V{}, -0.0);
    V cv = XorBits(Select(odd, s, c), Select(cosNegative, sign, zero));
    V sv = XorBits(Select(odd, c, s), Select(sinNegative, sign, zero));
    const auto exactlyZero = Compare<_CMP_EQ_OQ>(x, zero);
    cv = Select(exactlyZero, one, cv);
    sv = Select(exactlyZero, x, sv);
    const V spread = ZeroWhere(exactlyZero, Splat(V{}, 0x1p-44));
    cosine = Widened<W>(cv, spread);
    sine = Widened<W>(sv, spread);
    const auto outside = Compare<_CMP_NLT_UQ>(Abs(x), Splat(V{}, 0x1p40));  // or not a number
    Unbound(cosine, outside);
    Unbound(sine, outside);
}

#undef SIMD

}  // namespace
}  // namespace dsp::enclosures
