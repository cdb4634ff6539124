// The pitch shifter's whole-loop kernels four values at a time with AVX2:
// the same IEEE double operations, in the same order, as the loops of
// dsp/pitch_kernels.h, which also finish what is left over; and in place
// of most of the C library's atan2, cos and sin, enclosures of their
// results (dsp/enclosures_avx2.h).
#include "dsp/pitch_kernels.h"

#if TOVANA_PITCH_AVX2
#include <immintrin.h>

#include <cstring>

#include "dsp/enclosures_avx2.h"

namespace dsp::pitch::avx2 {
namespace {

#define AVX2_KERNEL TOVANA_AVX2_FMA

using namespace enclosures;

AVX2_KERNEL inline __m256d Four(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }

AVX2_KERNEL inline __m256d Indices(std::int32_t k) {
    return _mm256_set_pd(k + 3.0, k + 2.0, k + 1.0, static_cast<double>(k));
}

// Four bins' analysis from their phases: what BinFrequency gives, as the
// floats that are kept (frequency and last phase) and the even turn count
// that was taken off.
struct Analysis {
    __m128 frequency;
    __m128 lastPhase;
    __m128i turns;
};

struct AnalysisConstants {
    __m256d pi, twoPi, expected, width, oversampling, inversePi, inverseTwoPi;
};

AVX2_KERNEL inline AnalysisConstants AnalysisConstantsFor(double expected, double binWidth,
                                                          std::int32_t oversampling) {
    return {_mm256_set1_pd(kPi),      _mm256_set1_pd(kTwoPi),
            _mm256_set1_pd(expected), _mm256_set1_pd(binWidth),
            _mm256_set1_pd(static_cast<double>(oversampling)),
            _mm256_set1_pd(1.0 / kPi), _mm256_set1_pd(1.0 / kTwoPi)};
}

// The even turn count of a quotient: truncated, then an odd count moved
// one away from zero. Out of range (or not a number) the conversion gives
// -2^31, as EvenTurns has it.
AVX2_KERNEL inline __m128i EvenTurns(__m256d quotient) {
    __m128i q = _mm256_cvttpd_epi32(quotient);
    const __m128i negative = _mm_srai_epi32(q, 31);
    const __m128i odd = _mm_and_si128(q, _mm_set1_epi32(1));
    return _mm_add_epi32(q, _mm_sub_epi32(_mm_xor_si128(odd, negative), negative));
}

AVX2_KERNEL inline Analysis Analyse(__m256d phase, __m256d last, __m256d kk,
                                    const AnalysisConstants& c) {
    __m256d d = _mm256_sub_pd(phase, last);
    d = _mm256_sub_pd(d, _mm256_mul_pd(kk, c.expected));
    const __m128i q = EvenTurns(_mm256_div_pd(d, c.pi));
    d = _mm256_sub_pd(d, _mm256_mul_pd(c.pi, _mm256_cvtepi32_pd(q)));
    const __m256d f = _mm256_mul_pd(
        c.width, _mm256_add_pd(kk, _mm256_div_pd(_mm256_mul_pd(c.oversampling, d), c.twoPi)));
    return {_mm256_cvtpd_ps(f), _mm256_cvtpd_ps(phase), q};
}

// A product with a reciprocal in place of a quotient, moved outward (down,
// or up) by 2^-48 of it and 2^-1000: beyond the quotient, which it misses
// by less than 2^-51 of it (three roundings), even after its own rounding.
AVX2_KERNEL inline __m256d QuotientBound(__m256d product, bool down) {
    const __m256d margin = _mm256_add_pd(_mm256_mul_pd(Abs(product), _mm256_set1_pd(0x1p-48)),
                                         _mm256_set1_pd(0x1p-1000));
    return down ? _mm256_sub_pd(product, margin) : _mm256_add_pd(product, margin);
}

// Analyse with its two quotients replaced by bounds (QuotientBound). Every
// step is monotonic in the phase and in each quotient, so from a phase
// below (above) another this gives no more (no less) than Analyse gives
// from that one: at most its turn count, and for the same turn count, at
// most its frequency. Cheaper than Analyse: no division.
AVX2_KERNEL inline Analysis AnalyseBound(__m256d phase, __m256d last, __m256d kk,
                                         const AnalysisConstants& c, bool down) {
    __m256d d = _mm256_sub_pd(phase, last);
    d = _mm256_sub_pd(d, _mm256_mul_pd(kk, c.expected));
    const __m128i q = EvenTurns(QuotientBound(_mm256_mul_pd(d, c.inversePi), down));
    d = _mm256_sub_pd(d, _mm256_mul_pd(c.pi, _mm256_cvtepi32_pd(q)));
    const __m256d turn =
        QuotientBound(_mm256_mul_pd(_mm256_mul_pd(c.oversampling, d), c.inverseTwoPi), down);
    const __m256d f = _mm256_mul_pd(c.width, _mm256_add_pd(kk, turn));
    return {_mm256_cvtpd_ps(f), _mm256_cvtpd_ps(phase), q};
}

// Lanes whose two floats have the same bits and are numbers.
AVX2_KERNEL inline int SameFloats(__m128 a, __m128 b) {
    const __m128 same = _mm_and_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(a), _mm_castps_si128(b))),
                                   _mm_cmpord_ps(a, b));
    return _mm_movemask_ps(same);
}

// The lanes whose bits are set in `lanes`, as a mask.
AVX2_KERNEL inline __m128 LaneMask(int lanes) {
    const __m128i bits = _mm_set_epi32(8, 4, 2, 1);
    return _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(lanes), bits), bits));
}

}  // namespace

// Four complex values (two pairs) to their places.
AVX2_KERNEL inline void StoreInOrder(__m128 first, __m128 second, const std::int32_t* order,
                                     float* work) {
    _mm_storel_pi(reinterpret_cast<__m64*>(work + 2 * order[0]), first);
    _mm_storeh_pi(reinterpret_cast<__m64*>(work + 2 * order[1]), first);
    _mm_storel_pi(reinterpret_cast<__m64*>(work + 2 * order[2]), second);
    _mm_storeh_pi(reinterpret_cast<__m64*>(work + 2 * order[3]), second);
}

AVX2_KERNEL void WindowFrame(const float* in, const double* window, const std::int32_t* order,
                             float* work, std::int32_t n) {
    std::int32_t k = 0;
    const __m128 zero = _mm_setzero_ps();
    for (; k + 4 <= n; k += 4) {
        const __m128 y = _mm256_cvtpd_ps(_mm256_mul_pd(Four(in + k), _mm256_loadu_pd(window + k)));
        StoreInOrder(_mm_unpacklo_ps(y, zero), _mm_unpackhi_ps(y, zero), order + k, work);
    }
    pitch::WindowFrame(in + k, window + k, order + k, work, n - k);
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

// Of a used bin's phase the analysis keeps its float, its turn count and
// its frequency's float. Every step is monotonic in the phase as long as the
// turn count stays the same, so where the lower bound from the enclosure's
// lower end and the upper bound from its upper end (AnalyseBound) give the
// same three, so does every phase between them, the library's among them.
// An unused bin's phase is 0.
AVX2_KERNEL void AnalyseUsedBins(const double* re, const double* im, const bool* used,
                                 const double* magnitude, double* phase, float* lastPhase,
                                 float* frequency, float* magnitudeOut, std::int32_t count,
                                 double expected, double binWidth, std::int32_t oversampling) {
    const AnalysisConstants c = AnalysisConstantsFor(expected, binWidth, oversampling);
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        Enclosure e = EncloseAtan2(_mm256_loadu_pd(im + k), _mm256_loadu_pd(re + k));
        std::int32_t flags;  // four bools, each 0 or 1
        std::memcpy(&flags, used + k, sizeof flags);
        const __m256d unused = _mm256_cmp_pd(_mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(flags))),
                                             _mm256_setzero_pd(), _CMP_EQ_OQ);
        e.lo = _mm256_andnot_pd(unused, e.lo);  // an unused bin's phase is 0
        e.hi = _mm256_andnot_pd(unused, e.hi);
        const __m256d last = Four(lastPhase + k), kk = Indices(k);
        Analysis low = AnalyseBound(e.lo, last, kk, c, true);
        const Analysis high = AnalyseBound(e.hi, last, kk, c, false);
        const int decided = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(low.turns, high.turns))) &
                            SameFloats(low.frequency, high.frequency) &
                            SameFloats(low.lastPhase, high.lastPhase);
        if (decided != 15) {
            _mm256_storeu_pd(phase + k, e.lo);
            for (int i = 0; i < 4; ++i) {
                if (decided >> i & 1) continue;
                phase[k + i] = used[k + i] ? std::atan2(im[k + i], re[k + i]) : 0.0;
            }
            low = Analyse(_mm256_loadu_pd(phase + k), last, kk, c);
        }
        _mm_storeu_ps(lastPhase + k, low.lastPhase);
        _mm_storeu_ps(frequency + k, low.frequency);
        _mm_storeu_ps(magnitudeOut + k, _mm256_cvtpd_ps(_mm256_loadu_pd(magnitude + k)));
    }
    for (; k < count; ++k) {  // the rest, with their own bin numbers
        phase[k] = used[k] ? std::atan2(im[k], re[k]) : 0.0;
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

// A bin keeps float(m cos) and float(m sin), both monotonic in the cosine
// and the sine (m is never negative).
AVX2_KERNEL void SynthesiseBins(const float* magnitude, const double* phase,
                                const std::int32_t* order, float* work, std::int32_t count) {
    std::int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d m = Four(magnitude + k), x = _mm256_loadu_pd(phase + k);
        Enclosure c, s;
        EncloseSinCos(x, c, s);
        const __m128 reLow = _mm256_cvtpd_ps(_mm256_mul_pd(m, c.lo));
        const __m128 reHigh = _mm256_cvtpd_ps(_mm256_mul_pd(m, c.hi));
        const __m128 imLow = _mm256_cvtpd_ps(_mm256_mul_pd(m, s.lo));
        const __m128 imHigh = _mm256_cvtpd_ps(_mm256_mul_pd(m, s.hi));
        // A magnitude of 0 with a finite phase gives zeros, as SynthesiseBin
        // has it; a NaN goes to the library.
        const int positive = _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(magnitude + k), _mm_setzero_ps()));
        const int silent = _mm256_movemask_pd(
            _mm256_and_pd(_mm256_cmp_pd(m, _mm256_setzero_pd(), _CMP_EQ_OQ),
                          _mm256_cmp_pd(Abs(x), _mm256_set1_pd(__builtin_inf()), _CMP_LT_OQ)));
        const __m128 keep = _mm_xor_ps(LaneMask(silent), LaneMask(15));
        const __m128 re = _mm_and_ps(reLow, keep), im = _mm_and_ps(imLow, keep);
        StoreInOrder(_mm_unpacklo_ps(re, im), _mm_unpackhi_ps(re, im), order + k, work);
        const int decided = silent | (positive & SameFloats(reLow, reHigh) & SameFloats(imLow, imHigh));
        for (int i = 0; i < 4; ++i) {
            if (!(decided >> i & 1)) SynthesiseBin(magnitude[k + i], phase[k + i], work + 2 * order[k + i]);
        }
    }
    pitch::SynthesiseBins(magnitude + k, phase + k, order + k, work, count - k);
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
