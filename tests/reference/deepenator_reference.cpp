#include <algorithm>
#include <cmath>
#include <vector>

#include "reference_common.h"
#include "reference_effects.h"

namespace plainref {
namespace {

constexpr int kN = 256;
constexpr int kO = 8;
constexpr int kStep = kN / kO;
constexpr int kLatency = kN - kStep;

// In-place radix-2 FFT over n complex floats; butterflies in double, stored
// as floats; the twiddle advanced in float arithmetic.
void Fft(float* d, int n, int sign) {
    for (int i = 0, j = 0; i < n; ++i) {
        if (i < j) {
            std::swap(d[2 * i], d[2 * j]);
            std::swap(d[2 * i + 1], d[2 * j + 1]);
        }
        int bit = n >> 1;
        while (bit >= 1 && (j & bit)) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
    const double stages = std::log(static_cast<double>(n)) / std::log(2.0);
    int h = 1;
    for (int stage = 0; stage < stages; ++stage, h *= 2) {
        const double angle = kPi / h;
        const float sr = static_cast<float>(std::cos(angle));
        const float si = static_cast<float>(sign * std::sin(angle));
        float wr = 1.0f, wi = 0.0f;
        for (int g = 0; g < h; ++g) {
            for (int i = g; i < n; i += 2 * h) {
                const int a = i, b = i + h;
                const double br = d[2 * b], bi = d[2 * b + 1];
                const double tr = static_cast<double>(wr) * br - static_cast<double>(wi) * bi;
                const double ti = static_cast<double>(wr) * bi + static_cast<double>(wi) * br;
                const double ar = d[2 * a], ai = d[2 * a + 1];
                d[2 * b] = static_cast<float>(ar - tr);
                d[2 * b + 1] = static_cast<float>(ai - ti);
                d[2 * a] = static_cast<float>(ar + tr);
                d[2 * a + 1] = static_cast<float>(ai + ti);
            }
            const float nr = wr * sr - wi * si;
            const float ni = wr * si + wi * sr;
            wr = nr;
            wi = ni;
        }
    }
}

struct Shifter {
    std::vector<float> inFifo = std::vector<float>(8192), outFifo = std::vector<float>(8192),
                       work = std::vector<float>(16384), lastPhase = std::vector<float>(4096),
                       phaseSum = std::vector<float>(4096), accum = std::vector<float>(16384),
                       anaMag = std::vector<float>(8192), anaFreq = std::vector<float>(8192),
                       synMag = std::vector<float>(8192), synFreq = std::vector<float>(8192);
    int position = 0;

    void Process(float factor, int count, float rate, float* data) {
        if (position == 0) position = kLatency;
        const double binWidth = static_cast<double>(rate) / kN;
        const double expected = kTwoPi * kStep / kN;
        for (int i = 0; i < count; ++i) {
            inFifo[position] = data[i];
            data[i] = outFifo[position - kLatency];
            position = position + 1;
            if (position < kN) continue;
            position = kLatency;
            for (int k = 0; k < kN; ++k) {
                work[2 * k] = static_cast<float>(static_cast<double>(inFifo[k]) *
                                                 (0.5 - 0.5 * std::cos(kTwoPi * k / kN)));
                work[2 * k + 1] = 0.0f;
            }
            Fft(work.data(), kN, -1);
            for (int k = 0; k <= kN / 2; ++k) {
                const double re = work[2 * k], im = work[2 * k + 1];
                const double magnitude = 2.0 * std::sqrt(re * re + im * im);
                const double phase = std::atan2(im, re);
                double d = phase - static_cast<double>(lastPhase[k]);
                lastPhase[k] = static_cast<float>(phase);
                d = d - k * expected;
                long q = static_cast<long>(std::trunc(d / kPi));
                if (q >= 0)
                    q = q + (q & 1);
                else
                    q = q - (q & 1);
                d = d - kPi * static_cast<double>(q);
                anaFreq[k] = static_cast<float>(binWidth * (k + kO * d / kTwoPi));
                anaMag[k] = static_cast<float>(magnitude);
            }
            std::fill(synMag.begin(), synMag.begin() + kN, 0.0f);
            std::fill(synFreq.begin(), synFreq.begin() + kN, 0.0f);
            const double inverse = 1.0 / static_cast<double>(factor);
            for (int j = 0; j <= kN / 2; ++j) {
                const long src = static_cast<long>(std::trunc(j * inverse));
                if (src > kN / 2) continue;
                if (anaMag[src] > synMag[j]) {
                    synMag[j] = anaMag[src];
                    synFreq[j] = static_cast<float>(static_cast<double>(factor) * anaFreq[src]);
                }
                if (synFreq[j] == 0.0f && j > 0) {
                    synFreq[j] = synFreq[j - 1];
                    synMag[j] = synMag[j - 1];
                }
            }
            for (int k = 0; k <= kN / 2; ++k) {
                double d = (static_cast<double>(synFreq[k]) - k * binWidth) / binWidth;
                d = kTwoPi * d / kO + k * expected;
                phaseSum[k] = static_cast<float>(static_cast<double>(phaseSum[k]) + d);
                const double ph = phaseSum[k];
                work[2 * k] = static_cast<float>(static_cast<double>(synMag[k]) * std::cos(ph));
                work[2 * k + 1] = static_cast<float>(static_cast<double>(synMag[k]) * std::sin(ph));
            }
            for (int k = kN / 2 + 1; k < kN; ++k) work[2 * k] = work[2 * k + 1] = 0.0f;
            Fft(work.data(), kN, 1);
            for (int k = 0; k < kN; ++k) {
                accum[k] = static_cast<float>(static_cast<double>(accum[k]) +
                                              2.0 * (0.5 - 0.5 * std::cos(kTwoPi * k / kN)) *
                                                  static_cast<double>(work[2 * k]) / ((kN / 2) * kO));
            }
            for (int k = 0; k < kStep; ++k) outFifo[k] = accum[k];
            for (int k = 0; k < kN; ++k) accum[k] = accum[k + kStep];
            for (int k = 0; k < kLatency; ++k) inFifo[k] = inFifo[k + kStep];
        }
    }
};

struct Line {
    std::vector<double> v;
    int w = 0;
    Line(int rate, double ms)
        : v(static_cast<std::size_t>(std::ceil(static_cast<double>(rate) * ms * 0.001)) + 1, 0.0) {}
    int length() const { return static_cast<int>(v.size()); }
    double read(int offset) const {
        int i = w - offset;
        if (i < 0) i += length();
        return v[i];
    }
    void write(double x) {
        v[w] = x;
        w = w - 1;
        if (w < 0) w = length() - 1;
    }
};

float Factor(double halfSteps) {
    const double m = halfSteps / 12.0;
    return static_cast<float>((m + 1.0) * (0.25 * m + 0.5) + 0.5);
}

}  // namespace

struct ShifterPair {
    Shifter right, left;
};
void ShifterPairDeleter::operator()(ShifterPair* p) const { delete p; }
Shifters NewShifters() { return Shifters(new ShifterPair); }

Samples Deepenator(const Samples& in, int channels, int rate, const DeepenatorSettings& s,
                   const WorkingMix& mix, std::uint32_t seed, ShifterPair& shifters) {
    Lcg rng(seed);
    const bool stereo = channels != 1;
    Line rComb(rate, s.combDelayRight), rRev(rate, s.reverbDelayRight);
    Line lComb(rate, s.combDelayLeft), lRev(rate, s.reverbDelayLeft);
    const float rBase = Factor(s.pitchScaleRight), lBase = Factor(s.pitchScaleLeft);
    float rFactor = rBase, lFactor = lBase;
    const float rGain = static_cast<float>(s.reverbPowerRight * 0.005);
    const float lGain = static_cast<float>(s.reverbPowerLeft * 0.005);
    int rOffset = 0, lOffset = 0;
    const bool jitterReverb = s.randomReverbDelayEnabled != 0.0;
    const bool jitterPitch = s.randomPitchScaleEnabled != 0.0;

    auto chain = [&](double sample, Line& comb, Line& rev, float gain, int offset) {
        const double x = sample * (1.0 / kP) * 0.75;
        const double v = 0.5 * (x - comb.read(0));
        comb.write(x);
        const double y = static_cast<double>(gain) * rev.read(jitterReverb ? offset : 0) + v;
        rev.write(y);
        return static_cast<float>(y);
    };

    Samples out = in;
    std::vector<float> wet(kBlockSamples), leftBuf(kBlockSamples), rightBuf(kBlockSamples);
    for (std::size_t start = 0; start < out.size(); start += kBlockSamples) {
        const std::size_t count = std::min<std::size_t>(kBlockSamples, out.size() - start);
        std::int16_t* b = out.data() + start;
        if (!stereo) {
            for (std::size_t i = 0; i < count; ++i) wet[i] = chain(b[i], rComb, rRev, rGain, rOffset);
        } else {
            for (std::size_t j = 0; j < count / 2; ++j) {
                leftBuf[j] = chain(b[2 * j], lComb, lRev, lGain, lOffset);
                rightBuf[j] = chain(b[2 * j + 1], rComb, rRev, rGain, rOffset);
            }
        }
        if (jitterReverb) {
            rOffset = static_cast<int>(std::trunc(static_cast<double>(rng()) / 32767.0 * rRev.length() * 0.3));
            if (stereo)
                lOffset = static_cast<int>(std::trunc(static_cast<double>(rng()) / 32767.0 * lRev.length() * 0.3));
        }
        if (jitterPitch) {
            auto jitter = [&](float base) {
                float f = static_cast<float>(Gauss(rng, base, 0.015f));
                if (f < 0.5f) f = 0.5f;
                if (f > 2.0f) f = 2.0f;
                return f;
            };
            rFactor = jitter(rBase);
            if (stereo) lFactor = jitter(lBase);
        }
        if (!stereo) {
            shifters.right.Process(rFactor, static_cast<int>(count), static_cast<float>(rate), wet.data());
        } else {
            const int frames = static_cast<int>(count / 2);
            shifters.right.Process(rFactor, frames, static_cast<float>(rate), rightBuf.data());
            shifters.left.Process(lFactor, frames, static_cast<float>(rate), leftBuf.data());
            for (int j = 0; j < frames; ++j) {
                wet[2 * j] = leftBuf[j];
                wet[2 * j + 1] = rightBuf[j];
            }
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::int16_t w = Store16(static_cast<double>(wet[i]) * kP * mix.wetMix * 0.01);
            b[i] = Store16(static_cast<double>(w) + static_cast<double>(b[i]) * mix.dryMix * 0.01);
        }
    }
    return out;
}

}  // namespace plainref
