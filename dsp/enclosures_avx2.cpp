#include "dsp/enclosures.h"

#if TOVANA_ENCLOSURES
#define TOVANA_SIMD_TARGET TOVANA_AVX2_FMA
#include "dsp/enclosures_simd.h"

namespace dsp::enclosures {

TOVANA_AVX2_FMA void Atan2(const double* y, const double* x, double* lo, double* hi,
                           std::int32_t count) {
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const Enclosure<simd::Four> e =
            EncloseAtan2<simd::Four>(_mm256_loadu_pd(y + k), _mm256_loadu_pd(x + k));
        _mm256_storeu_pd(lo + k, e.lo);
        _mm256_storeu_pd(hi + k, e.hi);
    }
    for (; k < count; ++k) {
        lo[k] = -__builtin_inf();
        hi[k] = __builtin_inf();
    }
}

TOVANA_AVX2_FMA void SinCos(const double* x, double* cosLo, double* cosHi, double* sinLo,
                            double* sinHi, std::int32_t count) {
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        Enclosure<simd::Four> c, s;
        EncloseSinCos(_mm256_loadu_pd(x + k), c, s);
        _mm256_storeu_pd(cosLo + k, c.lo);
        _mm256_storeu_pd(cosHi + k, c.hi);
        _mm256_storeu_pd(sinLo + k, s.lo);
        _mm256_storeu_pd(sinHi + k, s.hi);
    }
    for (; k < count; ++k) {
        cosLo[k] = sinLo[k] = -__builtin_inf();
        cosHi[k] = sinHi[k] = __builtin_inf();
    }
}

}  // namespace dsp::enclosures
#endif
