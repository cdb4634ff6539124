// Enclosures of the C library's atan2, cos and sin, four values at a time
// with AVX2 and FMA, for the loops that would otherwise call the library
// once per value.
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
// Include this only where the functions are compiled for AVX2 and FMA
// (TOVANA_AVX2_FMA), and call it only where the processor has both.
#pragma once

#include <immintrin.h>

#include "dsp/enclosures.h"

#define TOVANA_AVX2_FMA __attribute__((target("avx2,fma")))

namespace dsp::enclosures {

constexpr double kPi = 3.141592653589793;

struct Enclosure {
    __m256d lo, hi;
};

TOVANA_AVX2_FMA inline __m256d Abs(__m256d v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }

TOVANA_AVX2_FMA inline Enclosure Widened(__m256d value, __m256d spread) {
    return {_mm256_sub_pd(value, spread), _mm256_add_pd(value, spread)};
}

TOVANA_AVX2_FMA inline __m256d AllLanes() { return _mm256_castsi256_pd(_mm256_set1_epi64x(-1)); }

// Lanes with low < v < high (so not NaNs).
TOVANA_AVX2_FMA inline __m256d Between(__m256d v, __m256d low, __m256d high) {
    return _mm256_and_pd(_mm256_cmp_pd(v, low, _CMP_GT_OQ), _mm256_cmp_pd(v, high, _CMP_LT_OQ));
}

// Unbounded in the lanes of `outside`.
TOVANA_AVX2_FMA inline void Unbound(Enclosure& e, __m256d outside) {
    const double inf = __builtin_inf();
    e.lo = _mm256_blendv_pd(e.lo, _mm256_set1_pd(-inf), outside);
    e.hi = _mm256_blendv_pd(e.hi, _mm256_set1_pd(inf), outside);
}

// c[0] + c[1] x + ... + c[n-1] x^(n-1), with fused steps.
TOVANA_AVX2_FMA inline __m256d Polynomial(__m256d x, const double* c, int n) {
    __m256d sum = _mm256_set1_pd(c[n - 1]);
#pragma GCC unroll 16
    for (int i = n - 2; i >= 0; --i) sum = _mm256_fmadd_pd(sum, x, _mm256_set1_pd(c[i]));
    return sum;
}

// atan2(y, x) for finite, nonzero x and y; other lanes are unbounded. The
// ratio t = min(|x|, |y|) / max(|x|, |y|) lies in 0 .. 1; with c = i/8 the
// nearest eighth, atan t = atan c + atan u, u = (t - c) / (1 + t c), and
// |u| <= 0.07 (checked), where u - u^3/3 + ... + u^13/13 misses atan u by
// less than 2^-57 of it. The roundings of u and the sum stay within 2^-49
// relatively (atan c is the nearest double to it, and the sum cancels at
// most half of it); the interval is 2^-40 of the value either side.
TOVANA_AVX2_FMA inline Enclosure EncloseAtan2(__m256d y, __m256d x) {
    static constexpr double kAtanSeries[] = {1.0,      -1.0 / 3,  1.0 / 5,  -1.0 / 7,
                                             1.0 / 9,  -1.0 / 11, 1.0 / 13};
    // atan(i / 8), i = 0 .. 8, each the nearest double.
    static constexpr double kAtanOfEighths[] = {0.0,
                                                0.12435499454676144,
                                                0.24497866312686414,
                                                0.35877067027057225,
                                                0.4636476090008061,
                                                0.5585993153435624,
                                                0.6435011087932844,
                                                0.7188299996216245,
                                                0.7853981633974483};
    const __m256d zero = _mm256_setzero_pd(), inf = _mm256_set1_pd(__builtin_inf());
    const __m256d a = Abs(y), b = Abs(x);
    const __m256d small = _mm256_min_pd(a, b), large = _mm256_max_pd(a, b);
    // The nearest eighth of a rough ratio, in single precision; a poor
    // choice only makes |u| too large, which the check below catches.
    const __m128 rough = _mm_mul_ps(_mm256_cvtpd_ps(small), _mm_rcp_ps(_mm256_cvtpd_ps(large)));
    const __m128 eighths = _mm_min_ps(_mm_max_ps(_mm_round_ps(_mm_mul_ps(rough, _mm_set1_ps(8.0f)),
                                                              _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC),
                                                 _mm_setzero_ps()),
                                      _mm_set1_ps(8.0f));  // a rough NaN becomes 0
    const __m128i index = _mm_cvtps_epi32(eighths);
    const __m256d c = _mm256_mul_pd(_mm256_cvtepi32_pd(index), _mm256_set1_pd(0.125));
    const __m256d u = _mm256_div_pd(_mm256_fnmadd_pd(c, large, small), _mm256_fmadd_pd(c, small, large));
    __m256d angle = _mm256_fmadd_pd(u, Polynomial(_mm256_mul_pd(u, u), kAtanSeries, 7),
                                    _mm256_mask_i32gather_pd(zero, kAtanOfEighths, index, AllLanes(), 8));
    const __m256d steep = _mm256_cmp_pd(a, b, _CMP_GT_OQ);
    angle = _mm256_blendv_pd(angle, _mm256_sub_pd(_mm256_set1_pd(kPi / 2), angle), steep);
    angle = _mm256_blendv_pd(angle, _mm256_sub_pd(_mm256_set1_pd(kPi), angle),
                             _mm256_cmp_pd(x, zero, _CMP_LT_OQ));
    angle = _mm256_or_pd(angle, _mm256_and_pd(y, _mm256_set1_pd(-0.0)));  // the sign of y
    Enclosure e = Widened(angle, _mm256_mul_pd(Abs(angle), _mm256_set1_pd(0x1p-40)));
    const __m256d covered = _mm256_and_pd(
        _mm256_and_pd(Between(a, zero, inf), Between(b, zero, inf)),
        _mm256_cmp_pd(Abs(u), _mm256_set1_pd(0.07), _CMP_LE_OQ));
    Unbound(e, _mm256_andnot_pd(covered, AllLanes()));
    return e;
}

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
TOVANA_AVX2_FMA inline void EncloseSinCos(__m256d x, Enclosure& cosine, Enclosure& sine) {
    static constexpr double kSinSeries[] = {1.0,          -1.0 / 6,         1.0 / 120,
                                            -1.0 / 5040,  1.0 / 362880,     -1.0 / 39916800,
                                            1.0 / 6227020800, -1.0 / 1307674368000};
    static constexpr double kCosSeries[] = {1.0,           -1.0 / 2,           1.0 / 24,
                                            -1.0 / 720,    1.0 / 40320,        -1.0 / 3628800,
                                            1.0 / 479001600, -1.0 / 87178291200, 1.0 / 20922789888000};
    constexpr double kP1 = 1.5707963267948966;     // pi/2 to the nearest double
    constexpr double kP2 = 6.123233995736766e-17;  // pi/2 - P1 to the nearest double
    const __m256d n = _mm256_round_pd(_mm256_mul_pd(x, _mm256_set1_pd(2 / kPi)),
                                      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    __m256d r = _mm256_fnmadd_pd(n, _mm256_set1_pd(kP1), x);
    r = _mm256_fnmadd_pd(n, _mm256_set1_pd(kP2), r);
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d s = _mm256_mul_pd(r, Polynomial(r2, kSinSeries, 8));
    const __m256d c = Polynomial(r2, kCosSeries, 9);
    // The quarter turn n mod 4 picks and signs them.
    const __m256d whole = _mm256_floor_pd(_mm256_mul_pd(n, _mm256_set1_pd(0.25)));
    const __m256d quarter = _mm256_fnmadd_pd(_mm256_set1_pd(4.0), whole, n);
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d odd = _mm256_or_pd(_mm256_cmp_pd(quarter, one, _CMP_EQ_OQ),
                                     _mm256_cmp_pd(quarter, _mm256_set1_pd(3.0), _CMP_EQ_OQ));
    const __m256d cosNegative = _mm256_or_pd(_mm256_cmp_pd(quarter, one, _CMP_EQ_OQ),
                                             _mm256_cmp_pd(quarter, _mm256_set1_pd(2.0), _CMP_EQ_OQ));
    const __m256d sinNegative = _mm256_cmp_pd(quarter, _mm256_set1_pd(2.0), _CMP_GE_OQ);
    const __m256d sign = _mm256_set1_pd(-0.0);
    __m256d cv = _mm256_xor_pd(_mm256_blendv_pd(c, s, odd), _mm256_and_pd(cosNegative, sign));
    __m256d sv = _mm256_xor_pd(_mm256_blendv_pd(s, c, odd), _mm256_and_pd(sinNegative, sign));
    const __m256d zero = _mm256_cmp_pd(x, _mm256_setzero_pd(), _CMP_EQ_OQ);
    cv = _mm256_blendv_pd(cv, one, zero);
    sv = _mm256_blendv_pd(sv, x, zero);
    const __m256d spread = _mm256_andnot_pd(zero, _mm256_set1_pd(0x1p-44));
    cosine = Widened(cv, spread);
    sine = Widened(sv, spread);
    const __m256d outside = _mm256_cmp_pd(Abs(x), _mm256_set1_pd(0x1p40), _CMP_NLT_UQ);  // or not a number
    Unbound(cosine, outside);
    Unbound(sine, outside);
}

}  // namespace dsp::enclosures
