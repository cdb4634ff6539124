#include "dsp/fir_filter.h"

#include <cmath>
#include <cstring>

#include "dsp/cpu_features.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TOVANA_FIR_AVX2 1
#endif

namespace dsp {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kOneOverPi = 0.3183098861837907;
constexpr int kCentre = kFirTaps / 2;

#ifdef TOVANA_FIR_AVX2
// Sixteen outputs side by side in four registers of four lanes; a lane's
// multiplications and additions (never fused) are those of FirSum.
__attribute__((target("avx2"))) void FirSumsAvx2(const double* h, const double* inputs, double* out,
                                                 std::size_t count) {
    std::size_t j = 0;
    for (; j + 16 <= count; j += 16) {
        __m256d s0 = _mm256_setzero_pd();
        __m256d s1 = _mm256_setzero_pd();
        __m256d s2 = _mm256_setzero_pd();
        __m256d s3 = _mm256_setzero_pd();
        const double* x = inputs + j;
        for (int i = 0; i < kFirTaps; ++i) {
            const __m256d c = _mm256_set1_pd(h[kFirTaps - 1 - i]);
            s0 = _mm256_add_pd(s0, _mm256_mul_pd(c, _mm256_loadu_pd(x + i)));
            s1 = _mm256_add_pd(s1, _mm256_mul_pd(c, _mm256_loadu_pd(x + i + 4)));
            s2 = _mm256_add_pd(s2, _mm256_mul_pd(c, _mm256_loadu_pd(x + i + 8)));
            s3 = _mm256_add_pd(s3, _mm256_mul_pd(c, _mm256_loadu_pd(x + i + 12)));
        }
        _mm256_storeu_pd(out + j, s0);
        _mm256_storeu_pd(out + j + 4, s1);
        _mm256_storeu_pd(out + j + 8, s2);
        _mm256_storeu_pd(out + j + 12, s3);
    }
    FirSumsPortable(h, inputs + j, out + j, count - j);
}

// Thirty-two outputs side by side in four registers of eight lanes: where
// the processor has two 512-bit units, twice the outputs per step that the
// additions' latency allows with four registers of four.
__attribute__((target("avx512f"))) void FirSumsAvx512(const double* h, const double* inputs,
                                                      double* out, std::size_t count) {
    std::size_t j = 0;
    for (; j + 32 <= count; j += 32) {
        __m512d s0 = _mm512_setzero_pd();
        __m512d s1 = _mm512_setzero_pd();
        __m512d s2 = _mm512_setzero_pd();
        __m512d s3 = _mm512_setzero_pd();
        const double* x = inputs + j;
        for (int i = 0; i < kFirTaps; ++i) {
            const __m512d c = _mm512_set1_pd(h[kFirTaps - 1 - i]);
            s0 = _mm512_add_pd(s0, _mm512_mul_pd(c, _mm512_loadu_pd(x + i)));
            s1 = _mm512_add_pd(s1, _mm512_mul_pd(c, _mm512_loadu_pd(x + i + 8)));
            s2 = _mm512_add_pd(s2, _mm512_mul_pd(c, _mm512_loadu_pd(x + i + 16)));
            s3 = _mm512_add_pd(s3, _mm512_mul_pd(c, _mm512_loadu_pd(x + i + 24)));
        }
        _mm512_storeu_pd(out + j, s0);
        _mm512_storeu_pd(out + j + 8, s1);
        _mm512_storeu_pd(out + j + 16, s2);
        _mm512_storeu_pd(out + j + 24, s3);
    }
    FirSumsAvx2(h, inputs + j, out + j, count - j);
}
#endif

}  // namespace

void BandPassDesign(float lower, float upper, float rate, double* h) {
    const double omegaLower = kTwoPi * lower / rate;
    const double omegaUpper = kTwoPi * upper / rate;
    const float centre = static_cast<float>((omegaUpper + omegaLower) * 0.5);
    const float halfWidth = static_cast<float>((omegaUpper - omegaLower) * 0.5);
    for (int i = 0; i < kFirTaps; ++i) {
        const int m = i - kCentre;
        double tap;
        if (m != 0) {
            tap = std::cos(centre * static_cast<double>(m)) * std::sin(halfWidth * static_cast<double>(m)) *
                  2.0 / (kPi * m);
        } else {
            tap = 2.0 * halfWidth * kOneOverPi;
        }
        h[i] = tap * (0.54 + 0.46 * std::cos(kPi * m / 40.0));  // Hamming window
    }
}

// Eight outputs side by side, each accumulator with its own additions in
// the order of FirSum.
void FirSumsPortable(const double* h, const double* inputs, double* out, std::size_t count) {
    std::size_t j = 0;
    for (; j + 8 <= count; j += 8) {
        double s[8] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
        const double* x = inputs + j;
        for (int i = 0; i < kFirTaps; ++i) {
            const double c = h[kFirTaps - 1 - i];
            for (int lane = 0; lane < 8; ++lane) s[lane] += c * x[i + lane];
        }
        for (int lane = 0; lane < 8; ++lane) out[j + lane] = s[lane];
    }
    for (; j < count; ++j) out[j] = FirSum(h, inputs + j);
}

void FirSums(const double* h, const double* inputs, double* out, std::size_t count) {
#ifdef TOVANA_FIR_AVX2
    if (UseAvx512()) {
        FirSumsAvx512(h, inputs, out, count);
        return;
    }
    if (UseAvx2()) {
        FirSumsAvx2(h, inputs, out, count);
        return;
    }
#endif
    FirSumsPortable(h, inputs, out, count);
}

FirFilter::FirFilter(double* storage) : storage_(storage), end_(kFirHistory) {
    std::memset(storage_, 0, kFirHistory * sizeof(double));
}

void FirFilter::Reserve(std::size_t count) {
    if (end_ + count <= kStorageDoubles) return;
    std::memmove(storage_, storage_ + end_ - kFirHistory, kFirHistory * sizeof(double));
    end_ = kFirHistory;
}

double FirFilter::Filter(double input, const double* h) {
    Reserve(1);
    storage_[end_++] = input;
    return FirSum(h, storage_ + end_ - kFirTaps);
}

void FirFilter::FilterBlock(const double* inputs, double* out, std::size_t count, const double* h) {
    Reserve(count);
    std::memcpy(storage_ + end_, inputs, count * sizeof(double));
    FirSums(h, storage_ + end_ - kFirHistory, out, count);
    end_ += count;
}

std::size_t FirFilter::OutputsSince(std::size_t mark, double* out, const double* h) const {
    FirSums(h, storage_ + mark - kFirHistory, out, end_ - mark);
    return end_ - mark;
}

}  // namespace dsp
