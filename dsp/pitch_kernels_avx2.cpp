// The pitch shifter's whole-loop kernels four values at a time with AVX2:
// the same IEEE double operations, in the same order, as the loops of
// dsp/pitch_kernels.h, which also finish what is left over; the analysis
// and synthesis are those of dsp/pitch_kernels_simd.h.
#include "dsp/pitch_kernels.h"

#include <cstring>

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

// Four bools as the bits 0 .. 3, and back.
AVX2_KERNEL inline int FlagBits(const bool* flags) {
    std::int32_t bytes;
    std::memcpy(&bytes, flags, sizeof bytes);
    return ~_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_cvtsi32_si128(bytes), _mm_setzero_si128())) & 15;
}

AVX2_KERNEL inline void StoreFlags(bool* flags, int bits) {
    const std::uint32_t bytes = (bits & 1) | (bits & 2) << 7 | (bits & 4) << 14 | (bits & 8) << 21;
    std::memcpy(flags, &bytes, sizeof bytes);
}

AVX2_KERNEL void MarkUsedBins(const bool* isSource, const double* re, const double* im,
                              const double* magnitude, bool* used, bool* pending, float* previousRe,
                              float* previousIm, float* lastPhase, std::int32_t count) {
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m128 m = _mm256_cvtpd_ps(_mm256_loadu_pd(magnitude + k));
        const int usedBits = FlagBits(isSource + k) & _mm_movemask_ps(_mm_cmpgt_ps(m, _mm_setzero_ps()));
        for (int waking = usedBits & FlagBits(pending + k); waking != 0; waking &= waking - 1) {
            const int i = __builtin_ctz(waking);
            lastPhase[k + i] = WaitedPhase(previousRe[k + i], previousIm[k + i]);
        }
        StoreFlags(used + k, usedBits);
        StoreFlags(pending + k, ~usedBits & 15);
        _mm_storeu_ps(previousRe + k, _mm256_cvtpd_ps(_mm256_loadu_pd(re + k)));
        _mm_storeu_ps(previousIm + k, _mm256_cvtpd_ps(_mm256_loadu_pd(im + k)));
    }
    for (; k < count; ++k) {
        MarkUsedBin(k, isSource[k], re, im, magnitude, used, pending, previousRe, previousIm, lastPhase);
    }
}

AVX2_KERNEL void AnalyseUsedBins(const double* re, const double* im, const bool* used,
                                 const double* magnitude, double* phase, float* lastPhase,
                                 float* frequency, float* magnitudeOut, std::int32_t count,
                                 double expected, double binWidth, std::int32_t oversampling) {
    simd_kernels::AnalyseUsedBins<simd::Four>(re, im, used, magnitude, phase, lastPhase, frequency,
                                           magnitudeOut, count, expected, binWidth, oversampling);
}

// Eight output bins at a time, their sources' values gathered; the float
// product of two floats is the product in double rounded to a float (it
// is exact there). Bins that inherit do so afterwards, in order.
AVX2_KERNEL void MapBins(const std::int32_t* sources, float factor, const float* analysisMagnitude,
                         const float* analysisFrequency, float* synthesisMagnitude,
                         float* synthesisFrequency, std::int32_t count) {
    const __m256 zero = _mm256_setzero_ps(), vFactor = _mm256_set1_ps(factor);
    std::int32_t j = 0;
    for (; j + 8 <= count; j += 8) {
        const __m256i src = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sources + j));
        const __m256 valid = _mm256_castsi256_ps(_mm256_cmpgt_epi32(src, _mm256_set1_epi32(-1)));
        // Bins without a source gather bin 0's values, which are not used:
        // every index stays in range (QEMU's 32-bit emulation faults on a
        // masked gather whose masked-off lanes hold -1).
        const __m256i index = _mm256_max_epi32(src, _mm256_setzero_si256());
        const __m256 m = _mm256_and_ps(valid, _mm256_i32gather_ps(analysisMagnitude, index, 4));
        const __m256 f = _mm256_i32gather_ps(analysisFrequency, index, 4);
        const __m256 positive = _mm256_cmp_ps(m, zero, _CMP_GT_OQ);
        const __m256 frequency = _mm256_and_ps(positive, _mm256_mul_ps(vFactor, f));
        _mm256_storeu_ps(synthesisMagnitude + j, _mm256_and_ps(positive, m));
        _mm256_storeu_ps(synthesisFrequency + j, frequency);
        int inheriting = _mm256_movemask_ps(_mm256_and_ps(valid, _mm256_cmp_ps(frequency, zero, _CMP_EQ_OQ)));
        if (j == 0) inheriting &= ~1;
        for (; inheriting != 0; inheriting &= inheriting - 1) {  // lowest first
            const int i = __builtin_ctz(inheriting);
            synthesisFrequency[j + i] = synthesisFrequency[j + i - 1];
            synthesisMagnitude[j + i] = synthesisMagnitude[j + i - 1];
        }
    }
    for (; j < count; ++j) {
        MapBin(j, sources, factor, analysisMagnitude, analysisFrequency, synthesisMagnitude,
               synthesisFrequency);
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
