#include "dsp/fft.h"

#include <cmath>

#include "dsp/cpu_features.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TOVANA_FFT_AVX2 1
#endif

namespace dsp {
namespace {

constexpr double kPi = 3.141592653589793;

// The number of stages, counted the way the transform always has: from 0
// while below ln n / ln 2 in floating point. For every power of two this is
// log2 n; the half-span check keeps a stage from ever reaching past n.
std::int32_t StageCount(std::int32_t n) {
    const double stages = std::log(static_cast<double>(n)) / std::log(2.0);
    std::int32_t count = 0;
    while (count < stages && (std::int64_t{1} << count) < n) ++count;
    return count;
}

#if defined(__SSE2__)
// The complex value pair held as doubles [re, im]: t = u * b is
// [ur br - ui bi, ur bi + ui br], the difference and the sum each taken
// where it belongs. (Adding the negated product instead would give the
// same number but, where the product is a NaN, the NaN with its sign
// flipped.)
inline void Butterfly(float ur, float ui, float* a, float* b) {
    const __m128d vb = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(b))));
    const __m128d va = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(a))));
    const __m128d swapped = _mm_shuffle_pd(vb, vb, 1);  // [bi, br]
    const __m128d p = _mm_mul_pd(_mm_set1_pd(ur), vb), q = _mm_mul_pd(_mm_set1_pd(ui), swapped);
    const __m128d t = _mm_move_sd(_mm_add_pd(p, q), _mm_sub_pd(p, q));
    _mm_storel_pi(reinterpret_cast<__m64*>(b), _mm_cvtpd_ps(_mm_sub_pd(va, t)));
    _mm_storel_pi(reinterpret_cast<__m64*>(a), _mm_cvtpd_ps(_mm_add_pd(va, t)));
}
#else
inline void Butterfly(float ur, float ui, float* a, float* b) {
    const double ar = a[0], ai = a[1], br = b[0], bi = b[1];
    const double tr = static_cast<double>(ur) * br - static_cast<double>(ui) * bi;
    const double ti = static_cast<double>(ur) * bi + static_cast<double>(ui) * br;
    b[0] = static_cast<float>(ar - tr);
    b[1] = static_cast<float>(ai - ti);
    a[0] = static_cast<float>(ar + tr);
    a[1] = static_cast<float>(ai + ti);
}
#endif

#ifdef TOVANA_FFT_AVX2
// Two butterflies side by side, each lane pair [re, im] doing what
// Butterfly does: the four doubles of a, b, the twiddles' real parts
// (ur, ur, ur', ur') and imaginary parts (ui, ui, ui', ui'). A product of
// two floats is exact in double, so the fused ur b -+ ui b' rounds the
// very sum that the separate product and sum round.
__attribute__((target("avx2,fma"))) inline void ButterflyPair(__m256d ur, __m256d ui, __m256d& a,
                                                              __m256d& b) {
    const __m256d swapped = _mm256_permute_pd(b, 0x5);  // [bi, br, bi', br']
    const __m256d t = _mm256_fmaddsub_pd(ur, b, _mm256_mul_pd(ui, swapped));
    b = _mm256_sub_pd(a, t);
    a = _mm256_add_pd(a, t);
}

// The stages of a transform of n >= 4 values from the first (0) or the
// second (1), two butterflies at a time. wre and wim hold each twiddle
// twice, stage after stage.
__attribute__((target("avx2,fma"))) void StagesAvx2(float* data, std::int32_t n, std::int32_t stages,
                                                   std::int32_t firstStage, const double* wre,
                                                   const double* wim) {
    // Half-span 1: the groups are (a, b) pairs; two groups per step.
    if (firstStage == 0) {
        const __m256d ur = _mm256_set1_pd(wre[0]);
        const __m256d ui = _mm256_set1_pd(wim[0]);
        for (std::int32_t base = 0; base < n; base += 4) {
            float* p = data + 2 * base;
            const __m256d first = _mm256_cvtps_pd(_mm_loadu_ps(p));       // a0 b0
            const __m256d second = _mm256_cvtps_pd(_mm_loadu_ps(p + 4));  // a1 b1
            __m256d a = _mm256_permute2f128_pd(first, second, 0x20);
            __m256d b = _mm256_permute2f128_pd(first, second, 0x31);
            ButterflyPair(ur, ui, a, b);
            _mm_storeu_ps(p, _mm256_cvtpd_ps(_mm256_permute2f128_pd(a, b, 0x20)));
            _mm_storeu_ps(p + 4, _mm256_cvtpd_ps(_mm256_permute2f128_pd(a, b, 0x31)));
        }
    }
    wre += 2;
    wim += 2;
    for (std::int32_t s = 1, h = 2; s < stages; ++s, h <<= 1) {
        for (std::int32_t base = 0; base < n; base += 2 * h) {
            float* lo = data + 2 * base;
            float* hi = lo + 2 * h;
            for (std::int32_t j = 0; j < h; j += 2) {
                __m256d a = _mm256_cvtps_pd(_mm_loadu_ps(lo + 2 * j));
                __m256d b = _mm256_cvtps_pd(_mm_loadu_ps(hi + 2 * j));
                ButterflyPair(_mm256_loadu_pd(wre + 2 * j), _mm256_loadu_pd(wim + 2 * j), a, b);
                _mm_storeu_ps(lo + 2 * j, _mm256_cvtpd_ps(a));
                _mm_storeu_ps(hi + 2 * j, _mm256_cvtpd_ps(b));
            }
        }
        wre += 2 * h;
        wim += 2 * h;
    }
}

// GCC 12 builds several AVX-512 intrinsics on _mm512_undefined_pd() and
// then warns that the value may be used uninitialised (fixed in GCC 13).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// Four butterflies side by side: ButterflyPair's steps eight doubles wide.
__attribute__((target("avx512f"))) inline void ButterflyQuad(__m512d ur, __m512d ui, __m512d& a,
                                                             __m512d& b) {
    const __m512d swapped = _mm512_permute_pd(b, 0x55);
    const __m512d t = _mm512_fmaddsub_pd(ur, b, _mm512_mul_pd(ui, swapped));
    b = _mm512_sub_pd(a, t);
    a = _mm512_add_pd(a, t);
}

__attribute__((target("avx512f"))) inline __m512d Eight(const float* p) {
    return _mm512_cvtps_pd(_mm256_loadu_ps(p));
}

__attribute__((target("avx512f"))) inline void StoreEight(float* p, __m512d v) {
    _mm256_storeu_ps(p, _mm512_cvtpd_ps(v));
}

// The stages of a transform of n >= 8 values from the first (0) or the
// second (1), four butterflies at a time; wre and wim as for StagesAvx2.
// The first two stages' groups are shorter than four butterflies, so each
// step gathers them from eight complex values (128-bit lanes: one complex
// value each) and puts them back.
__attribute__((target("avx512f"))) void StagesAvx512(float* data, std::int32_t n,
                                                     std::int32_t stages, std::int32_t firstStage,
                                                     const double* wre, const double* wim) {
    if (firstStage == 0) {  // half-span 1: lanes (a0 b0 a1 b1) (a2 b2 a3 b3)
        const __m512d ur = _mm512_set1_pd(wre[0]), ui = _mm512_set1_pd(wim[0]);
        const __m512i interleaveLow = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
        const __m512i interleaveHigh = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
        for (std::int32_t base = 0; base < n; base += 8) {
            float* p = data + 2 * base;
            const __m512d first = Eight(p), second = Eight(p + 8);
            __m512d a = _mm512_shuffle_f64x2(first, second, _MM_SHUFFLE(2, 0, 2, 0));
            __m512d b = _mm512_shuffle_f64x2(first, second, _MM_SHUFFLE(3, 1, 3, 1));
            ButterflyQuad(ur, ui, a, b);
            StoreEight(p, _mm512_permutex2var_pd(a, interleaveLow, b));
            StoreEight(p + 8, _mm512_permutex2var_pd(a, interleaveHigh, b));
        }
    }
    wre += 2;
    wim += 2;
    {  // half-span 2: lanes (a0 a1 b0 b1) (a2 a3 b2 b3), twiddles (w0 w1 w0 w1)
        const __m512d ur = _mm512_broadcast_f64x4(_mm256_loadu_pd(wre));
        const __m512d ui = _mm512_broadcast_f64x4(_mm256_loadu_pd(wim));
        for (std::int32_t base = 0; base < n; base += 8) {
            float* p = data + 2 * base;
            const __m512d first = Eight(p), second = Eight(p + 8);
            __m512d a = _mm512_shuffle_f64x2(first, second, _MM_SHUFFLE(1, 0, 1, 0));
            __m512d b = _mm512_shuffle_f64x2(first, second, _MM_SHUFFLE(3, 2, 3, 2));
            ButterflyQuad(ur, ui, a, b);
            StoreEight(p, _mm512_shuffle_f64x2(a, b, _MM_SHUFFLE(1, 0, 1, 0)));
            StoreEight(p + 8, _mm512_shuffle_f64x2(a, b, _MM_SHUFFLE(3, 2, 3, 2)));
        }
    }
    wre += 4;
    wim += 4;
    for (std::int32_t s = 2, h = 4; s < stages; ++s, h <<= 1) {
        for (std::int32_t base = 0; base < n; base += 2 * h) {
            float* lo = data + 2 * base;
            float* hi = lo + 2 * h;
            for (std::int32_t j = 0; j < h; j += 4) {
                __m512d a = Eight(lo + 2 * j);
                __m512d b = Eight(hi + 2 * j);
                ButterflyQuad(_mm512_loadu_pd(wre + 2 * j), _mm512_loadu_pd(wim + 2 * j), a, b);
                StoreEight(lo + 2 * j, a);
                StoreEight(hi + 2 * j, b);
            }
        }
        wre += 2 * h;
        wim += 2 * h;
    }
}
#pragma GCC diagnostic pop
#endif

}  // namespace

FftPlan::FftPlan(std::int32_t n, std::int32_t sign) : n_(n), order_(n, 0) {
    // Bit reversal: exchange i and its mirror once, when i < mirror.
    for (std::int32_t i = 1, j = 0; i < n; ++i) {
        std::int32_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        order_[i] = j;
        if (i < j) {
            swaps_.push_back(i);
            swaps_.push_back(j);
        }
    }
    stages_ = StageCount(n);
    for (std::int32_t s = 0; s < stages_; ++s) {
        const std::int32_t h = std::int32_t{1} << s;
        const double angle = kPi / h;
        const float wr = static_cast<float>(std::cos(angle));
        const float wi = static_cast<float>(sign * std::sin(angle));
        float ur = 1.0f;
        float ui = 0.0f;
        for (std::int32_t j = 0; j < h; ++j) {
            twiddleRe_.push_back(ur);
            twiddleIm_.push_back(ui);
            twiddleRe2_.insert(twiddleRe2_.end(), 2, ur);
            twiddleIm2_.insert(twiddleIm2_.end(), 2, ui);
            const float tr = ur * wr - ui * wi;  // single precision throughout
            ui = ur * wi + ui * wr;
            ur = tr;
        }
    }
}

void FftPlan::Run(float* data) const {
    for (std::size_t p = 0; p < swaps_.size(); p += 2) {
        float* a = data + 2 * swaps_[p];
        float* b = data + 2 * swaps_[p + 1];
        const float re = a[0], im = a[1];
        a[0] = b[0];
        a[1] = b[1];
        b[0] = re;
        b[1] = im;
    }
    RunReordered(data);
}

void FftPlan::RunReordered(float* data) const { RunFrom(data, 0); }

void FftPlan::RunAfterFirstStage(float* data) const { RunFrom(data, 1); }

void FftPlan::FirstButterfly(float* place) { Butterfly(1.0f, 0.0f, place, place + 2); }

void FftPlan::RunFrom(float* data, std::int32_t firstStage) const {
#ifdef TOVANA_FFT_AVX2
    if (n_ >= 8 && UseFullWidthAvx512()) {
        StagesAvx512(data, n_, stages_, firstStage, twiddleRe2_.data(), twiddleIm2_.data());
        return;
    }
    if (n_ >= 4 && UseAvx2()) {
        StagesAvx2(data, n_, stages_, firstStage, twiddleRe2_.data(), twiddleIm2_.data());
        return;
    }
#endif
    // Stage s holds 2^s twiddles, so the stages before firstStage hold
    // 2^firstStage - 1.
    const float* wre = twiddleRe_.data() + ((1 << firstStage) - 1);
    const float* wim = twiddleIm_.data() + ((1 << firstStage) - 1);
    for (std::int32_t s = firstStage, h = 1 << firstStage; s < stages_; ++s, h <<= 1) {
        // Butterflies within a stage are independent; each uses the twiddle
        // of its position j within its group.
        for (std::int32_t base = 0; base < n_; base += 2 * h) {
            float* lo = data + 2 * base;
            float* hi = lo + 2 * h;
            for (std::int32_t j = 0; j < h; ++j) Butterfly(wre[j], wim[j], lo + 2 * j, hi + 2 * j);
        }
        wre += h;
        wim += h;
    }
}

void ComplexFft(float* data, std::int32_t n, std::int32_t sign) { FftPlan(n, sign).Run(data); }

}  // namespace dsp
