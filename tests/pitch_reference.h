// Plain, literal versions of the complex FFT and the pitch shifter, written
// step by step without tables or batching, against which the optimised code
// is compared bit for bit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace reference {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Bit reversal, then the stages with the twiddle recurrence run inline:
// groups outermost, the butterflies of a group inside.
inline void Fft(float* data, int n, int sign) {
    for (int i = 0; i < n; ++i) {
        int r = 0;
        for (int b = 1, m = n >> 1; b < n; b <<= 1, m >>= 1) {
            if (i & b) r |= m;
        }
        if (i < r) {
            std::swap(data[2 * i], data[2 * r]);
            std::swap(data[2 * i + 1], data[2 * r + 1]);
        }
    }
    for (int stage = 0; stage < std::log(static_cast<double>(n)) / std::log(2.0); ++stage) {
        const int h = 1 << stage;
        const float wr = static_cast<float>(std::cos(kPi / h));
        const float wi = static_cast<float>(sign * std::sin(kPi / h));
        float ur = 1.0f, ui = 0.0f;
        for (int j = 0; j < h; ++j) {
            for (int a = j; a < n; a += 2 * h) {
                const int b = a + h;
                const double tr = static_cast<double>(ur) * data[2 * b] -
                                  static_cast<double>(ui) * data[2 * b + 1];
                const double ti = static_cast<double>(ur) * data[2 * b + 1] +
                                  static_cast<double>(ui) * data[2 * b];
                const double ar = data[2 * a], ai = data[2 * a + 1];
                data[2 * b] = static_cast<float>(ar - tr);
                data[2 * b + 1] = static_cast<float>(ai - ti);
                data[2 * a] = static_cast<float>(ar + tr);
                data[2 * a + 1] = static_cast<float>(ai + ti);
            }
            const float t = ur * wr - ui * wi;
            ui = ur * wi + ui * wr;
            ur = t;
        }
    }
}

// The shifter's ten steps for one instance, sample by sample.
class PitchShifter {
public:
    void Process(float factor, int count, int N, int O, float rate, const float* in, float* out) {
        const int step = N / O, latency = N - step;
        const double binWidth = static_cast<double>(rate) / N;
        const double expected = kTwoPi * step / N;
        if (position == 0) position = latency;
        for (int i = 0; i < count; ++i) {
            inFifo[position] = in[i];
            out[i] = outFifo[position - latency];
            ++position;
            if (position < N) continue;
            position = latency;
            for (int k = 0; k < N; ++k) {
                work[2 * k] = static_cast<float>(inFifo[k] * (0.5 - 0.5 * std::cos(kTwoPi * k / N)));
                work[2 * k + 1] = 0.0f;
            }
            Fft(work.data(), N, -1);
            for (int k = 0; k <= N / 2; ++k) {
                const double re = work[2 * k], im = work[2 * k + 1];
                const double magnitude = 2 * std::sqrt(re * re + im * im);
                const double phase = std::atan2(im, re);
                double d = phase - lastPhase[k];
                lastPhase[k] = static_cast<float>(phase);
                d -= k * expected;
                // A d that is not finite stays so whatever the count.
                long q = std::isfinite(d) ? static_cast<long>(d / kPi) : 0;
                if (q >= 0) q += q & 1;
                else q -= q & 1;
                d -= kPi * q;
                anaFreq[k] = static_cast<float>(binWidth * (k + O * d / kTwoPi));
                anaMagn[k] = static_cast<float>(magnitude);
            }
            std::fill(synMagn.begin(), synMagn.begin() + N, 0.0f);
            std::fill(synFreq.begin(), synFreq.begin() + N, 0.0f);
            for (int j = 0; j <= N / 2; ++j) {
                const int src = static_cast<int>(j * (1.0 / factor));
                if (src > N / 2) continue;
                if (anaMagn[src] > synMagn[j]) {
                    synMagn[j] = anaMagn[src];
                    synFreq[j] = static_cast<float>(static_cast<double>(factor) * anaFreq[src]);
                }
                if (synFreq[j] == 0 && j > 0) {
                    synFreq[j] = synFreq[j - 1];
                    synMagn[j] = synMagn[j - 1];
                }
            }
            for (int k = 0; k <= N / 2; ++k) {
                double d = (synFreq[k] - k * binWidth) / binWidth;
                d = kTwoPi * d / O + k * expected;
                phaseSum[k] = static_cast<float>(phaseSum[k] + d);
                work[2 * k] = static_cast<float>(synMagn[k] * std::cos(static_cast<double>(phaseSum[k])));
                work[2 * k + 1] = static_cast<float>(synMagn[k] * std::sin(static_cast<double>(phaseSum[k])));
            }
            for (int k = N / 2 + 1; k < N; ++k) work[2 * k] = work[2 * k + 1] = 0.0f;
            Fft(work.data(), N, +1);
            for (int k = 0; k < N; ++k) {
                accumulator[k] = static_cast<float>(
                    accumulator[k] + 2 * (0.5 - 0.5 * std::cos(kTwoPi * k / N)) * work[2 * k] / ((N / 2) * O));
            }
            for (int k = 0; k < step; ++k) outFifo[k] = accumulator[k];
            for (int k = 0; k < N; ++k) accumulator[k] = accumulator[k + step];
            for (int k = 0; k < latency; ++k) inFifo[k] = inFifo[k + step];
        }
    }

    std::vector<float> inFifo = std::vector<float>(8192), outFifo = std::vector<float>(8192);
    std::vector<float> work = std::vector<float>(16384), accumulator = std::vector<float>(16384);
    std::vector<float> lastPhase = std::vector<float>(4096), phaseSum = std::vector<float>(4096);
    std::vector<float> anaMagn = std::vector<float>(8192), anaFreq = std::vector<float>(8192);
    std::vector<float> synMagn = std::vector<float>(8192), synFreq = std::vector<float>(8192);
    int position = 0;
};

}  // namespace reference
