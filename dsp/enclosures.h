// Where the effects may spare calls of the C library's atan2, cos and sin:
// intervals sure to hold the library's values (dsp/enclosures_simd.h).
#pragma once

#include <cstdint>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TOVANA_ENCLOSURES 1  // with AVX2 and FMA, chosen at run time
#else
#define TOVANA_ENCLOSURES 0
#endif

namespace dsp::enclosures {

// For tests, on processors with AVX2 and FMA: [lo, hi] holds the library's
// atan2(y, x), cos x and sin x; it is unbounded where the input is not
// covered.
void Atan2(const double* y, const double* x, double* lo, double* hi, std::int32_t count);
void SinCos(const double* x, double* cosLo, double* cosHi, double* sinLo, double* sinHi,
            std::int32_t count);

}  // namespace dsp::enclosures
