// The pitch shifter's per-bin and per-sample loops, two values at a time
// with SSE2 where the build has it (every x86-64 build, and 32-bit builds
// with -msse2), one at a time otherwise. Both give the same bits: the
// vector forms do the same IEEE double operations in the same order, and
// the C library's functions are called one value at a time.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/fft.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define TOVANA_PITCH_SSE2 1
#else
#define TOVANA_PITCH_SSE2 0
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TOVANA_PITCH_AVX2 1  // four at a time: dsp/pitch_kernels_avx2.cpp
#else
#define TOVANA_PITCH_AVX2 0
#endif

namespace dsp::pitch {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// ---- one value at a time: the definitions ------------------------------

// d / pi truncated, an odd count moved away from zero to the even one. The
// deviation of finite input stays within a few dozen pi; beyond the 32-bit
// range (only for values that are not numbers) the count is -2^31, which
// leaves a non-finite d non-finite.
inline double EvenTurns(double d) {
    const double turns = d / kPi;
    std::int32_t q = INT32_MIN;
    if (turns > -2147483648.0 && turns < 2147483648.0) q = static_cast<std::int32_t>(turns);
    if (q >= 0) {
        q = q + (q & 1);
    } else {
        q = q - (q & 1);
    }
    return static_cast<double>(q);
}

// Analysis of bin k from its phase: returns the true frequency, updates the
// bin's last phase.
inline float BinFrequency(std::int32_t k, double phase, float& lastPhase, double expected,
                          double binWidth, std::int32_t oversampling) {
    double d = phase - lastPhase;
    lastPhase = static_cast<float>(phase);
    d = d - k * expected;
    d = d - kPi * EvenTurns(d);
    return static_cast<float>(binWidth * (k + oversampling * d / kTwoPi));
}

// Synthesis of bin k: advances its running phase, returns it as kept.
inline float AdvancePhase(std::int32_t k, float frequency, float& phaseSum, double expected,
                          double binWidth, std::int32_t oversampling) {
    double d = (frequency - k * binWidth) / binWidth;
    d = kTwoPi * d / oversampling + k * expected;
    phaseSum = static_cast<float>(phaseSum + d);
    return phaseSum;
}

// ---- whole loops ----------------------------------------------------------

// ---- the transforms' first stage ------------------------------------------
// Both transforms' first stage pairs places 2m and 2m + 1 with the twiddle
// 1 (FftPlan::FirstButterfly), and what the pitch shifter puts there makes
// nearly every such butterfly trivial: the loops below take their values
// straight through it, in float arithmetic. That gives the bits the
// transform's double butterfly gives: a product of a float with 1 or 0 is
// exact, and the double sum of two floats, rounded to a float, is their
// float sum.

// Values a and b (b already times the twiddle) through the butterfly at
// place[0 .. 3]: a + b, then a - b.
inline void PlaceButterfly(float ar, float ai, float br, float bi, float* place) {
    place[0] = ar + br;
    place[1] = ai + bi;
    place[2] = ar - br;
    place[3] = ai - bi;
}

// The frame's values x[k] = float(in[k] window[k]) as complex values
// (x, 0) through the forward transform's reordering (order: FftPlan::order)
// and first stage, for n >= 2: values k < n/2 and k + n/2 meet at places
// order[k] (even) and order[k] + 1. The twiddled (b, 0) is
// (b, 0 b + 0): +0 for a finite b, NaN otherwise, as in the butterfly.
inline void WindowPairs(const float* in, const double* window, const std::int32_t* order,
                        float* work, std::int32_t n, std::int32_t first) {  // k >= first
    const std::int32_t half = n / 2;
    for (std::int32_t k = first; k < half; ++k) {
        const float a = static_cast<float>(in[k] * window[k]);
        const float b = static_cast<float>(in[k + half] * window[k + half]);
        PlaceButterfly(a, 0.0f, b, 0.0f * b + 0.0f, work + 2 * order[k]);
    }
}

inline void WindowFirstStage(const float* in, const double* window, const std::int32_t* order,
                             float* work, std::int32_t n) {
    WindowPairs(in, window, order, work, n, 0);
}

// Real and imaginary parts of bins 0 .. count-1 as doubles, and each bin's
// magnitude 2 sqrt(re^2 + im^2).
inline void SplitBins(const float* work, double* re, double* im, double* magnitude,
                      std::int32_t count) {
    std::int32_t k = 0;
#if TOVANA_PITCH_SSE2
    const __m128d two = _mm_set1_pd(2.0);
    for (; k + 2 <= count; k += 2) {
        const __m128 v = _mm_loadu_ps(work + 2 * k);  // r0 i0 r1 i1
        const __m128d lo = _mm_cvtps_pd(v);
        const __m128d hi = _mm_cvtps_pd(_mm_movehl_ps(v, v));
        const __m128d r = _mm_unpacklo_pd(lo, hi);
        const __m128d i = _mm_unpackhi_pd(lo, hi);
        _mm_storeu_pd(re + k, r);
        _mm_storeu_pd(im + k, i);
        const __m128d sum = _mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(i, i));
        _mm_storeu_pd(magnitude + k, _mm_mul_pd(two, _mm_sqrt_pd(sum)));
    }
#endif
    for (; k < count; ++k) {
        re[k] = work[2 * k];
        im[k] = work[2 * k + 1];
        magnitude[k] = 2.0 * std::sqrt(re[k] * re[k] + im[k] * im[k]);
    }
}

// The last phase of a bin whose phase waited: the C library's atan2 of the
// values it kept.
inline float WaitedPhase(float previousRe, float previousIm) {
    return static_cast<float>(std::atan2(static_cast<double>(previousIm), static_cast<double>(previousRe)));
}

// A bin is used where it is a source and its magnitude as a float is
// positive. An unused bin keeps this frame's values (previous) for later;
// a used one whose phase waited (pending) takes it now, before they are
// overwritten: its last phase becomes the C library's atan2 of them.
inline void MarkUsedBin(std::int32_t k, bool isSource, const double* re, const double* im,
                        const double* magnitude, bool* used, bool* pending, float* previousRe,
                        float* previousIm, float* lastPhase) {
    used[k] = isSource && static_cast<float>(magnitude[k]) > 0.0f;
    if (used[k] && pending[k]) lastPhase[k] = WaitedPhase(previousRe[k], previousIm[k]);
    pending[k] = !used[k];
    previousRe[k] = static_cast<float>(re[k]);  // floats from the work area: exact
    previousIm[k] = static_cast<float>(im[k]);
}

// Bins 0 .. count-1, as MarkUsedBin has it.
inline void MarkUsedBins(const bool* isSource, const double* re, const double* im,
                         const double* magnitude, bool* used, bool* pending, float* previousRe,
                         float* previousIm, float* lastPhase, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        MarkUsedBin(k, isSource[k], re, im, magnitude, used, pending, previousRe, previousIm, lastPhase);
    }
}

// Bins 0 .. count-1: frequencies from the phases, last phases updated,
// magnitudes stored as floats.
inline void AnalyseBins(const double* phase, const double* magnitude, float* lastPhase,
                        float* frequency, float* magnitudeOut, std::int32_t count,
                        double expected, double binWidth, std::int32_t oversampling) {
    std::int32_t k = 0;
#if TOVANA_PITCH_SSE2
    const __m128d pi = _mm_set1_pd(kPi), twoPi = _mm_set1_pd(kTwoPi);
    const __m128d vExpected = _mm_set1_pd(expected), vWidth = _mm_set1_pd(binWidth);
    const __m128d vOver = _mm_set1_pd(static_cast<double>(oversampling));
    const __m128i one = _mm_set1_epi32(1);
    for (; k + 2 <= count; k += 2) {
        const __m128d ph = _mm_loadu_pd(phase + k);
        const __m128d last = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lastPhase + k))));
        _mm_storel_pi(reinterpret_cast<__m64*>(lastPhase + k), _mm_cvtpd_ps(ph));
        const __m128d kk = _mm_set_pd(k + 1.0, static_cast<double>(k));
        __m128d d = _mm_sub_pd(ph, last);
        d = _mm_sub_pd(d, _mm_mul_pd(kk, vExpected));
        const __m128d turns = _mm_div_pd(d, pi);
        // Truncation; out of range (or not a number) the conversion gives
        // -2^31, as above.
        __m128i q = _mm_cvttpd_epi32(turns);
        const __m128i negative = _mm_srai_epi32(q, 31);               // -1 where q < 0
        const __m128i odd = _mm_and_si128(q, one);
        q = _mm_add_epi32(q, _mm_sub_epi32(_mm_xor_si128(odd, negative), negative));
        d = _mm_sub_pd(d, _mm_mul_pd(pi, _mm_cvtepi32_pd(q)));
        const __m128d f = _mm_mul_pd(vWidth, _mm_add_pd(kk, _mm_div_pd(_mm_mul_pd(vOver, d), twoPi)));
        _mm_storel_pi(reinterpret_cast<__m64*>(frequency + k), _mm_cvtpd_ps(f));
        _mm_storel_pi(reinterpret_cast<__m64*>(magnitudeOut + k), _mm_cvtpd_ps(_mm_loadu_pd(magnitude + k)));
    }
#endif
    for (; k < count; ++k) {
        frequency[k] = BinFrequency(k, phase[k], lastPhase[k], expected, binWidth, oversampling);
        magnitudeOut[k] = static_cast<float>(magnitude[k]);
    }
}

// Analysis of bins 0 .. count-1 (the first bin is bin 0): a used bin's
// phase is the C library's atan2(im, re), an unused one's 0; `phase` is
// scratch. The pitch shifter reads no unused bin's frequency, and the
// faster forms need not give this one's there.
inline void AnalyseUsedBins(const double* re, const double* im, const bool* used,
                            const double* magnitude, double* phase, float* lastPhase,
                            float* frequency, float* magnitudeOut, std::int32_t count,
                            double expected, double binWidth, std::int32_t oversampling) {
    for (std::int32_t k = 0; k < count; ++k) phase[k] = used[k] ? std::atan2(im[k], re[k]) : 0.0;
    AnalyseBins(phase, magnitude, lastPhase, frequency, magnitudeOut, count, expected, binWidth,
                oversampling);
}

// Output bin j pulls its magnitude and frequency from its source bin
// sources[j] (none where -1), the frequency times the factor; a bin with a
// source but left without frequency inherits its lower neighbour's.
inline void MapBin(std::int32_t j, const std::int32_t* sources, float factor,
                   const float* analysisMagnitude, const float* analysisFrequency,
                   float* synthesisMagnitude, float* synthesisFrequency) {
    const std::int32_t src = sources[j];
    float magnitude = 0.0f, frequency = 0.0f;
    if (src >= 0) {
        if (analysisMagnitude[src] > 0.0f) {
            magnitude = analysisMagnitude[src];
            frequency = static_cast<float>(static_cast<double>(factor) * analysisFrequency[src]);
        }
        if (frequency == 0.0f && j > 0) {
            frequency = synthesisFrequency[j - 1];
            magnitude = synthesisMagnitude[j - 1];
        }
    }
    synthesisMagnitude[j] = magnitude;
    synthesisFrequency[j] = frequency;
}

// Output bins 0 .. count-1, in order, as MapBin has it.
inline void MapBins(const std::int32_t* sources, float factor, const float* analysisMagnitude,
                    const float* analysisFrequency, float* synthesisMagnitude,
                    float* synthesisFrequency, std::int32_t count) {
    for (std::int32_t j = 0; j < count; ++j) {
        MapBin(j, sources, factor, analysisMagnitude, analysisFrequency, synthesisMagnitude,
               synthesisFrequency);
    }
}

// Bins 0 .. count-1: running phases advanced, each returned as a double.
inline void AdvancePhases(const float* frequency, float* phaseSum, double* phase,
                          std::int32_t count, double expected, double binWidth,
                          std::int32_t oversampling) {
    std::int32_t k = 0;
#if TOVANA_PITCH_SSE2
    const __m128d twoPi = _mm_set1_pd(kTwoPi);
    const __m128d vExpected = _mm_set1_pd(expected), vWidth = _mm_set1_pd(binWidth);
    const __m128d vOver = _mm_set1_pd(static_cast<double>(oversampling));
    for (; k + 2 <= count; k += 2) {
        const __m128d kk = _mm_set_pd(k + 1.0, static_cast<double>(k));
        const __m128d f = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(frequency + k))));
        __m128d d = _mm_div_pd(_mm_sub_pd(f, _mm_mul_pd(kk, vWidth)), vWidth);
        d = _mm_add_pd(_mm_div_pd(_mm_mul_pd(twoPi, d), vOver), _mm_mul_pd(kk, vExpected));
        const __m128d sum = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(phaseSum + k))));
        const __m128 kept = _mm_cvtpd_ps(_mm_add_pd(sum, d));
        _mm_storel_pi(reinterpret_cast<__m64*>(phaseSum + k), kept);
        _mm_storeu_pd(phase + k, _mm_cvtps_pd(kept));
    }
#endif
    for (; k < count; ++k) {
        phase[k] = AdvancePhase(k, frequency[k], phaseSum[k], expected, binWidth, oversampling);
    }
}

// Synthesis of bin k from its magnitude and running phase: (m cos, m sin),
// where a magnitude of 0 gives zeros whatever a finite phase's cosine and
// sine (only the sign of such a zero could differ, +0 for -0, and a zero's
// sign changes no nonzero sum or product downstream).
inline void SynthesiseBin(float magnitude, double phase, float& re, float& im) {
    double cosine = 0.0, sine = 0.0;
    if (!(magnitude == 0.0f && std::isfinite(phase))) {
        cosine = std::cos(phase);
        sine = std::sin(phase);
    }
    re = static_cast<float>(magnitude * cosine);
    im = static_cast<float>(magnitude * sine);
}

// The synthesised spectrum's bins above `half` (of 2 half) are 0, so in the
// inverse transform's first stage each bin k < half but bin 0 meets a 0 and
// becomes (v + 0, v) of its value v (the first turns a -0 into +0). This
// places bin k's value so, at places order[k] and order[k] + 1.
inline void PlaceBin(float re, float im, float* place) { PlaceButterfly(re, im, 0.0f, 0.0f, place); }

// Bins 0 .. count-1, each placed as PlaceBin has it.
inline void SynthesiseLowerBins(const float* magnitude, const double* phase,
                                const std::int32_t* order, float* work, std::int32_t count) {
    for (std::int32_t k = 0; k < count; ++k) {
        float re, im;
        SynthesiseBin(magnitude[k], phase[k], re, im);
        PlaceBin(re, im, work + 2 * order[k]);
    }
}

// Bin `half` (place 1) and bin 0 (place 0, placed as PlaceBin has it, so
// its value is at place 1) through their butterfly, the one that is not
// trivial.
inline void FinishFirstStage(float magnitude, double phase, float* work) {
    work[0] = work[2];
    work[1] = work[3];
    SynthesiseBin(magnitude, phase, work[2], work[3]);
    FftPlan::FirstButterfly(work);
}

// Bins 0 .. half of a spectrum of 2 half bins whose bins above `half` are
// 0, through the inverse transform's reordering (order: FftPlan::order) and
// first stage.
inline void SynthesiseFirstStage(const float* magnitude, const double* phase,
                                 const std::int32_t* order, float* work, std::int32_t half) {
    SynthesiseLowerBins(magnitude, phase, order, work, half);
    FinishFirstStage(magnitude[half], phase[half], work);
}

// accumulator[k] += twiceWindow[k] * re(work[k]) / scale for k < n, with the
// division done as a multiplication by the exact reciprocal of scale (a
// power of two, so both give the same value).
inline void OverlapAdd(const float* work, const double* twiceWindow, double inverseScale,
                       float* accumulator, std::int32_t n) {
    std::int32_t k = 0;
#if TOVANA_PITCH_SSE2
    const __m128d inv = _mm_set1_pd(inverseScale);
    for (; k + 2 <= n; k += 2) {
        const __m128 v = _mm_loadu_ps(work + 2 * k);  // r0 i0 r1 i1
        const __m128d re = _mm_cvtps_pd(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 0, 2, 0)));
        const __m128d acc = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(accumulator + k))));
        const __m128d add = _mm_mul_pd(_mm_mul_pd(_mm_loadu_pd(twiceWindow + k), re), inv);
        _mm_storel_pi(reinterpret_cast<__m64*>(accumulator + k), _mm_cvtpd_ps(_mm_add_pd(acc, add)));
    }
#endif
    for (; k < n; ++k) {
        accumulator[k] = static_cast<float>(accumulator[k] + twiceWindow[k] * work[2 * k] * inverseScale);
    }
}

}  // namespace dsp::pitch

#if TOVANA_PITCH_AVX2
// The same loops four values at a time, for processors with AVX2 only, and
// the enclosures that spare most of the C library's calls.
namespace dsp::pitch::avx2 {
void WindowFirstStage(const float* in, const double* window, const std::int32_t* order,
                      float* work, std::int32_t n);
void SplitBins(const float* work, double* re, double* im, double* magnitude, std::int32_t count);
void MarkUsedBins(const bool* isSource, const double* re, const double* im, const double* magnitude,
                  bool* used, bool* pending, float* previousRe, float* previousIm, float* lastPhase,
                  std::int32_t count);
void AnalyseUsedBins(const double* re, const double* im, const bool* used, const double* magnitude,
                     double* phase, float* lastPhase, float* frequency, float* magnitudeOut,
                     std::int32_t count, double expected, double binWidth,
                     std::int32_t oversampling);
void MapBins(const std::int32_t* sources, float factor, const float* analysisMagnitude,
             const float* analysisFrequency, float* synthesisMagnitude, float* synthesisFrequency,
             std::int32_t count);
void AdvancePhases(const float* frequency, float* phaseSum, double* phase, std::int32_t count,
                   double expected, double binWidth, std::int32_t oversampling);
void SynthesiseFirstStage(const float* magnitude, const double* phase,
                          const std::int32_t* order, float* work, std::int32_t half);
void OverlapAdd(const float* work, const double* twiceWindow, double inverseScale,
                float* accumulator, std::int32_t n);
}  // namespace dsp::pitch::avx2

// The analysis and synthesis eight at a time, for processors with AVX-512F.
namespace dsp::pitch::avx512 {
void AnalyseUsedBins(const double* re, const double* im, const bool* used, const double* magnitude,
                     double* phase, float* lastPhase, float* frequency, float* magnitudeOut,
                     std::int32_t count, double expected, double binWidth,
                     std::int32_t oversampling);
void SynthesiseFirstStage(const float* magnitude, const double* phase,
                          const std::int32_t* order, float* work, std::int32_t half);
}  // namespace dsp::pitch::avx512
#endif
