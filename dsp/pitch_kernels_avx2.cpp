// The pitch shifter's whole-loop kernels four values at a time with AVX2:
// the same IEEE double operations, in the same order, as the loops of
// dsp/pitch_kernels.h, which also finish what is left over.
#include "dsp/pitch_kernels.h"

#if TOVANA_PITCH_AVX2
#include <immintrin.h>

namespace dsp::pitch::avx2 {
namespace {

#define AVX2_KERNEL __attribute__((target("avx2")))

AVX2_KERNEL inline __m256d Four(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

AVX2_KERNEL inline __m256d Indices(std::int32_t k) {
    return _mm256_set_pd(k + 3.0, k + 2.0, k + 1.0, static_cast<double>(k));
}

}  // namespace

AVX2_KERNEL void WindowFrame(const float* in, const double* window, float* work, std::int32_t n) {
    std::int32_t k = 0;
    const __m128 zero = _mm_setzero_ps();
    for (; k + 4 <= n; k += 4) {
        const __m128 y = _mm256_cvtpd_ps(_mm256_mul_pd(Four(in + k), _mm256_loadu_pd(window + k)));
        _mm_storeu_ps(work + 2 * k, _mm_unpacklo_ps(y, zero));
        _mm_storeu_ps(work + 2 * k + 4, _mm_unpackhi_ps(y, zero));
    }
    pitch::WindowFrame(in + k, window + k, work + 2 * k, n - k);
}

AVX2_KERNEL void SplitBins(const float* work, double* re, double* im, double* magnitude,
                           std::int32_t count) {
    std::int32_t k = 0;
    const __m256d two = _mm256_set1_pd(2.0);
    for (; k + 4 <= count; k += 4) {
        const __m256d lo = Four(work + 2 * k);      // r0 i0 r1 i1
        const __m256d hi = Four(work + 2 * k + 4);  // r2 i2 r3 i3
        const __m256d r = _mm256_permute4x64_pd(_mm256_unpacklo_pd(lo, hi), 0xD8);
        const __m256d i = _mm256_permute4x64_pd(_mm256_unpackhi_pd(lo, hi), 0xD8);
        _mm256_storeu_pd(re + k, r);
        _mm256_storeu_pd(im + k, i);
        const __m256d sum = _mm256_add_pd(_mm256_mul_pd(r, r), _mm256_mul_pd(i, i));
        _mm256_storeu_pd(magnitude + k, _mm256_mul_pd(two, _mm256_sqrt_pd(sum)));
    }
    pitch::SplitBins(work + 2 * k, re + k, im + k, magnitude + k, count - k);
}

AVX2_KERNEL void AnalyseBins(const double* phase, const double* magnitude, float* lastPhase,
                             float* frequency, float* magnitudeOut, std::int32_t count,
                             double expected, double binWidth, std::int32_t oversampling) {
    std::int32_t k = 0;
    const __m256d pi = _mm256_set1_pd(kPi), twoPi = _mm256_set1_pd(kTwoPi);
    const __m256d vExpected = _mm256_set1_pd(expected), vWidth = _mm256_set1_pd(binWidth);
    const __m256d vOver = _mm256_set1_pd(static_cast<double>(oversampling));
    const __m128i one = _mm_set1_epi32(1);
    for (; k + 4 <= count; k += 4) {
        const __m256d ph = _mm256_loadu_pd(phase + k);
        const __m256d last = Four(lastPhase + k);
        _mm_storeu_ps(lastPhase + k, _mm256_cvtpd_ps(ph));
        const __m256d kk = Indices(k);
        __m256d d = _mm256_sub_pd(ph, last);
        d = _mm256_sub_pd(d, _mm256_mul_pd(kk, vExpected));
        // Truncation; out of range (or not a number) the conversion gives
        // -2^31, as EvenTurns has it.
        __m128i q = _mm256_cvttpd_epi32(_mm256_div_pd(d, pi));
        const __m128i negative = _mm_srai_epi32(q, 31);
        const __m128i odd = _mm_and_si128(q, one);
        q = _mm_add_epi32(q, _mm_sub_epi32(_mm_xor_si128(odd, negative), negative));
        d = _mm256_sub_pd(d, _mm256_mul_pd(pi, _mm256_cvtepi32_pd(q)));
        const __m256d f =
            _mm256_mul_pd(vWidth, _mm256_add_pd(kk, _mm256_div_pd(_mm256_mul_pd(vOver, d), twoPi)));
        _mm_storeu_ps(frequency + k, _mm256_cvtpd_ps(f));
        _mm_storeu_ps(magnitudeOut + k, _mm256_cvtpd_ps(_mm256_loadu_pd(magnitude + k)));
    }
    // The rest, with their own bin numbers.
    for (; k < count; ++k) {
        frequency[k] = BinFrequency(k, phase[k], lastPhase[k], expected, binWidth, oversampling);
        magnitudeOut[k] = static_cast<float>(magnitude[k]);
    }
}

AVX2_KERNEL void AdvancePhases(const float* frequency, float* phaseSum, double* phase,
                               std::int32_t count, double expected, double binWidth,
                               std::int32_t oversampling) {
    std::int32_t k = 0;
    const __m256d twoPi = _mm256_set1_pd(kTwoPi);
    const __m256d vExpected = _mm256_set1_pd(expected), vWidth = _mm256_set1_pd(binWidth);
    const __m256d vOver = _mm256_set1_pd(static_cast<double>(oversampling));
    for (; k + 4 <= count; k += 4) {
        const __m256d kk = Indices(k);
        __m256d d = _mm256_div_pd(_mm256_sub_pd(Four(frequency + k), _mm256_mul_pd(kk, vWidth)), vWidth);
        d = _mm256_add_pd(_mm256_div_pd(_mm256_mul_pd(twoPi, d), vOver), _mm256_mul_pd(kk, vExpected));
        const __m128 kept = _mm256_cvtpd_ps(_mm256_add_pd(Four(phaseSum + k), d));
        _mm_storeu_ps(phaseSum + k, kept);
        _mm256_storeu_pd(phase + k, _mm256_cvtps_pd(kept));
    }
    for (; k < count; ++k) {
        phase[k] = AdvancePhase(k, frequency[k], phaseSum[k], expected, binWidth, oversampling);
    }
}

AVX2_KERNEL void RebuildBins(const float* magnitude, const double* cosine, const double* sine,
                             float* work, std::int32_t count) {
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d m = Four(magnitude + k);
        const __m128 re = _mm256_cvtpd_ps(_mm256_mul_pd(m, _mm256_loadu_pd(cosine + k)));
        const __m128 im = _mm256_cvtpd_ps(_mm256_mul_pd(m, _mm256_loadu_pd(sine + k)));
        _mm_storeu_ps(work + 2 * k, _mm_unpacklo_ps(re, im));
        _mm_storeu_ps(work + 2 * k + 4, _mm_unpackhi_ps(re, im));
    }
    pitch::RebuildBins(magnitude + k, cosine + k, sine + k, work + 2 * k, count - k);
}

AVX2_KERNEL void OverlapAdd(const float* work, const double* twiceWindow, double inverseScale,
                            float* accumulator, std::int32_t n) {
    std::int32_t k = 0;
    const __m256d inv = _mm256_set1_pd(inverseScale);
    for (; k + 4 <= n; k += 4) {
        const __m128 reals = _mm_shuffle_ps(_mm_loadu_ps(work + 2 * k), _mm_loadu_ps(work + 2 * k + 4),
                                            _MM_SHUFFLE(2, 0, 2, 0));
        const __m256d add =
            _mm256_mul_pd(_mm256_mul_pd(_mm256_loadu_pd(twiceWindow + k), _mm256_cvtps_pd(reals)), inv);
        _mm_storeu_ps(accumulator + k, _mm256_cvtpd_ps(_mm256_add_pd(Four(accumulator + k), add)));
    }
    pitch::OverlapAdd(work + 2 * k, twiceWindow + k, inverseScale, accumulator + k, n - k);
}

#undef AVX2_KERNEL

}  // namespace dsp::pitch::avx2
#endif
