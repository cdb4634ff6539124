#include "dsp/signal_helpers.h"

#include <cmath>
#include <cstring>

#include "dsp/cpu_features.h"
#include "dsp/log10.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TOVANA_NOISE_AVX2 1
#endif

namespace dsp {
namespace {

#ifdef TOVANA_NOISE_AVX2
#define AVX2_KERNEL __attribute__((target("avx2")))

// GaussianStep in four lanes.
AVX2_KERNEL inline __m128 GaussianSteps(__m128 sum, __m128i r) {
    const __m256d scaled = _mm256_mul_pd(_mm256_cvtepi32_pd(r), _mm256_set1_pd(3.051850947599719e-05));
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(sum), scaled));
}

// GaussianFromSum in four lanes, with root = sqrt(variance).
AVX2_KERNEL inline __m256d GaussiansFromSums(__m128 sum, __m256d mean, __m256d root) {
    return _mm256_add_pd(mean, _mm256_mul_pd(root, _mm256_sub_pd(_mm256_cvtps_pd(sum), _mm256_set1_pd(6.0))));
}

// Sixteen sums at a time (four chains of additions, each waiting on its
// own roundings), the generators' steps in 32-bit lanes. Returns how many
// values it wrote, a multiple of sixteen.
AVX2_KERNEL std::size_t GaussianNoisesAvx2(const std::uint32_t* states, std::size_t count, float mean,
                                           float variance, double* out) {
    const __m256i multiplier = _mm256_set1_epi32(214013), increment = _mm256_set1_epi32(2531011);
    const __m256i low15 = _mm256_set1_epi32(0x7fff);
    const __m256d vMean = _mm256_set1_pd(static_cast<double>(mean));
    const __m256d root = _mm256_set1_pd(std::sqrt(static_cast<double>(variance)));
    constexpr int kVectors = 2;
    std::size_t i = 0;
    for (; i + 8 * kVectors <= count; i += 8 * kVectors) {
        __m256i state[kVectors];
        __m128 sum[2 * kVectors];
        for (int v = 0; v < kVectors; ++v) {
            state[v] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(states + i + 8 * v));
            sum[2 * v] = sum[2 * v + 1] = _mm_setzero_ps();
        }
        for (int step = 0; step < 12; ++step) {
            for (int v = 0; v < kVectors; ++v) {
                state[v] = _mm256_add_epi32(_mm256_mullo_epi32(state[v], multiplier), increment);
                const __m256i r = _mm256_and_si256(_mm256_srli_epi32(state[v], 16), low15);
                sum[2 * v] = GaussianSteps(sum[2 * v], _mm256_castsi256_si128(r));
                sum[2 * v + 1] = GaussianSteps(sum[2 * v + 1], _mm256_extracti128_si256(r, 1));
            }
        }
        for (int q = 0; q < 2 * kVectors; ++q) {
            _mm256_storeu_pd(out + i + 4 * q, GaussiansFromSums(sum[q], vMean, root));
        }
    }
    return i;
}
#endif

inline std::int16_t StoredMix(float wet, double p, double wetMix, double dryMix, std::int16_t sample) {
    return Store(Store(wet * p * wetMix * 0.01) + sample * dryMix * 0.01);
}

#if defined(__SSE2__)
// Two values truncated toward zero, each known to lie within +-2^31 (so
// that the 32-bit truncation has the 64-bit one's low 16 bits), as the
// 16-bit samples Store makes of them, sign-extended to 32 bits.
inline __m128i StoredPair(__m128d value) {
    return _mm_srai_epi32(_mm_slli_epi32(_mm_cvttpd_epi32(value), 16), 16);
}

// Lanes of both values within +-2^31 (not NaNs).
inline bool WithinInt32(__m128d a, __m128d b) {
    const __m128d magnitude = _mm_set1_pd(-0.0), limit = _mm_set1_pd(2147483648.0);
    const __m128d inside = _mm_and_pd(_mm_cmplt_pd(_mm_andnot_pd(magnitude, a), limit),
                                      _mm_cmplt_pd(_mm_andnot_pd(magnitude, b), limit));
    return _mm_movemask_pd(inside) == 3;
}
#endif

}  // namespace

void MixStoredWet(const float* wet, double p, double wetMix, double dryMix, std::int16_t* samples,
                  std::int32_t count) {
    std::int32_t i = 0;
#if defined(__SSE2__)
    // Two samples at a time, where both stages' values lie within +-2^31.
    const __m128d vp = _mm_set1_pd(p), vWet = _mm_set1_pd(wetMix), vDry = _mm_set1_pd(dryMix);
    const __m128d hundredth = _mm_set1_pd(0.01);
    for (; i + 2 <= count; i += 2) {
        const __m128 wetPair = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(wet + i)));
        const __m128d w = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(_mm_cvtps_pd(wetPair), vp), vWet), hundredth);
        std::int32_t drySamples;
        std::memcpy(&drySamples, samples + i, sizeof drySamples);
        const __m128i dryPair = _mm_cvtsi32_si128(drySamples);
        const __m128d dry = _mm_cvtepi32_pd(_mm_srai_epi32(_mm_unpacklo_epi16(dryPair, dryPair), 16));
        // (Where w lies beyond, the sum is wrong, and not used.)
        const __m128d sum = _mm_add_pd(_mm_cvtepi32_pd(StoredPair(w)), _mm_mul_pd(_mm_mul_pd(dry, vDry), hundredth));
        if (!WithinInt32(w, sum)) {
            samples[i] = StoredMix(wet[i], p, wetMix, dryMix, samples[i]);
            samples[i + 1] = StoredMix(wet[i + 1], p, wetMix, dryMix, samples[i + 1]);
            continue;
        }
        const std::int32_t stored = _mm_cvtsi128_si32(_mm_packs_epi32(StoredPair(sum), _mm_setzero_si128()));
        std::memcpy(samples + i, &stored, sizeof stored);
    }
#endif
    for (; i < count; ++i) samples[i] = StoredMix(wet[i], p, wetMix, dryMix, samples[i]);
}

double NormalisingFactor(std::uint16_t bitsPerSample) { return std::ldexp(1.0, bitsPerSample); }

void GaussianNoisesFrom(const std::uint32_t* states, std::size_t count, float mean, float variance,
                        double* out) {
    constexpr std::size_t kSide = 8;
    std::size_t i = 0;
#ifdef TOVANA_NOISE_AVX2
    if (UseAvx2()) i = GaussianNoisesAvx2(states, count, mean, variance, out);
#endif
    for (; i + kSide <= count; i += kSide) {
        RandomGenerator draw[kSide];
        float sum[kSide];
        for (std::size_t l = 0; l < kSide; ++l) {
            draw[l].Seed(states[i + l]);
            sum[l] = 0.0f;
        }
        for (int step = 0; step < 12; ++step) {
            for (std::size_t l = 0; l < kSide; ++l) sum[l] = GaussianStep(sum[l], draw[l]());
        }
        for (std::size_t l = 0; l < kSide; ++l) out[i + l] = GaussianFromSum(sum[l], mean, variance);
    }
    for (; i < count; ++i) {
        RandomGenerator draw(states[i]);
        out[i] = GaussianNoiseFrom(draw, mean, variance);
    }
}

void GaussianNoises(RandomGenerator& rng, std::size_t count, float mean, float variance,
                    double* out) {
    constexpr std::size_t kChunk = 256;
    std::uint32_t states[kChunk];
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = count - done < kChunk ? count - done : kChunk;
        for (std::size_t i = 0; i < n; ++i) {
            states[i] = rng.State();
            rng.SkipTwelve();
        }
        GaussianNoisesFrom(states, n, mean, variance, out + done);
        done += n;
    }
}

double LevelFollower::Update(double x) { return 10.0 * Log10(Power(x)); }

}  // namespace dsp
