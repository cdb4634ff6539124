// The pitch shifter's whole-loop kernels four values at a time with AVX2:
// the same IEEE double operations, in the same order, as the loops of
// dsp/pitch_kernels.h, which also finish what is left over; the analysis
// and synthesis are those of dsp/pitch_kernels_simd.h.
#include "dsp/pitch_kernels.h"

#if TOVANA_PITCH_AVX2
#define TOVANA_SIMD_TARGET TOVANA_AVX2_FMA
#include "dsp/pitch_kernels_simd.h"

namespace dsp::pitch::avx2 {
namespace {

#define AVX2_KERNEL TOVANA_AVX2_FMA

AVX2_KERNEL inline __m256d Four(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

}  // namespace

AVX2_KERNEL void WindowFirstStage(const float* in, const double* window, const std::int32_t* order,
                                  float* work, std::int32_t n) {
    const std::int32_t half = n / 2;
    std::int32_t k = 0;
    const __m128 zero = _mm_setzero_ps();
    for (; k + 4 <= half; k += 4) {
        const __m128 a = _mm256_cvtpd_ps(_mm256_mul_pd(Four(in + k), _mm256_loadu_pd(window + k)));
        const __m128 b = _mm256_cvtpd_ps(_mm256_mul_pd(Four(in + half + k), _mm256_loadu_pd(window + half + k)));
        const __m128 bIm = _mm_add_ps(_mm_mul_ps(zero, b), zero);  // the twiddled b's: 0 b + 0
        simd::StoreButterfliesInOrder(a, zero, b, bIm, order + k, work);
    }
    WindowPairs(in, window, order, work, n, k);
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

AVX2_KERNEL void AnalyseUsedBins(const double* re, const double* im, const bool* used,
                                 const double* magnitude, double* phase, float* lastPhase,
                                 float* frequency, float* magnitudeOut, std::int32_t count,
                                 double expected, double binWidth, std::int32_t oversampling) {
    simd_kernels::AnalyseUsedBins<simd::Four>(re, im, used, magnitude, phase, lastPhase, frequency,
                                           magnitudeOut, count, expected, binWidth, oversampling);
}

AVX2_KERNEL void AdvancePhases(const float* frequency, float* phaseSum, double* phase,
                               std::int32_t count, double expected, double binWidth,
                               std::int32_t oversampling) {
    std::int32_t k = 0;
    const __m256d twoPi = _mm256_set1_pd(kTwoPi);
    const __m256d vExpected = _mm256_set1_pd(expected), vWidth = _mm256_set1_pd(binWidth);
    const __m256d vOver = _mm256_set1_pd(static_cast<double>(oversampling));
    for (; k + 4 <= count; k += 4) {
        const __m256d kk = simd::Indices(__m256d{}, k);
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

AVX2_KERNEL void SynthesiseFirstStage(const float* magnitude, const double* phase,
                                      const std::int32_t* order, float* work, std::int32_t half) {
    simd_kernels::SynthesiseFirstStage<simd::Four>(magnitude, phase, order, work, half);
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
