#include <algorithm>
#include <array>
#include <cmath>

#include "reference_common.h"
#include "reference_effects.h"

namespace plainref {
namespace {

using Taps = std::array<double, 81>;

Taps Design(float lower, float upper, float rate) {
    const double wl = kTwoPi * static_cast<double>(lower) / static_cast<double>(rate);
    const double wu = kTwoPi * static_cast<double>(upper) / static_cast<double>(rate);
    const float centre = static_cast<float>((wu + wl) * 0.5);
    const float half = static_cast<float>((wu - wl) * 0.5);
    Taps h{};
    for (int i = 0; i <= 80; ++i) {
        const double m = i - 40;
        if (i == 40) {
            h[i] = 2.0 * static_cast<double>(half) * 0.3183098861837907;
        } else {
            h[i] = std::cos(static_cast<double>(centre) * m) * std::sin(static_cast<double>(half) * m) *
                   2.0 / (kPi * m);
        }
        h[i] = h[i] * (0.54 + 0.46 * std::cos(kPi * m / 40.0));
    }
    return h;
}

// Inputs newest last; the sum runs from the oldest input to the newest.
struct Fir {
    std::array<double, 81> past{};  // past[0] oldest .. past[80] newest
    double operator()(double x, const Taps& h) {
        for (int i = 0; i < 80; ++i) past[i] = past[i + 1];
        past[80] = x;
        double sum = 0.0;
        for (int k = 80; k >= 0; --k) sum += h[k] * past[80 - k];
        return sum;
    }
};

struct Channel {
    Follower level{0.99, 0.010000000000000009};
    Fir voice, noise;
    Taps noiseTaps{};
    bool armed = false, active = false, gapActive = false;
    std::int32_t countdown = 0, gapStart = 0, gapLen = 0, burstLength = 0;
    float amp = 0.0f;
};

}  // namespace

Samples Communicator(const Samples& in, int channels, int rate, const CommunicatorSettings& s,
                     const WorkingMix& mix, std::uint32_t seed) {
    Lcg rng(seed);
    const bool stereo = channels != 1;
    const double durationSec = s.duration * 0.001;
    const double staticThreshold = 5.0 - 2.0 * (s.changingStatic * 0.01);
    float upper = static_cast<float>(s.fullness);
    float lower = static_cast<float>(s.frequency);
    const float rateF = static_cast<float>(rate);
    if (!(static_cast<double>(upper) < static_cast<double>(rateF) * 0.5))
        upper = static_cast<float>(static_cast<double>(rateF) * 0.45);
    if (!(s.frequency < static_cast<double>(rateF) * 0.5))
        lower = static_cast<float>(static_cast<double>(rateF) * 0.4);
    const Taps voiceTaps = Design(lower, upper, rateF);
    Channel chans[2];
    for (auto& c : chans) c.noiseTaps = voiceTaps;

    auto drawGap = [&](Channel& c) {
        c.gapStart = static_cast<std::int32_t>(
            std::trunc(Gauss(rng, 1.0f, 1.0f) * static_cast<double>(c.burstLength / 3)));
        c.gapLen = static_cast<std::int32_t>(
            std::trunc(Gauss(rng, 1.0f, 1.0f) * static_cast<double>(c.burstLength / 4)));
    };

    auto stepOne = [&](std::int16_t& sample, Channel& c) {
        const double x = sample;
        const double level = c.level(x);
        const double sn = x * (1.0 / kP);
        const std::int16_t voice = Store16(c.voice(0.75 * sn, voiceTaps) * kP);
        std::int16_t value = voice;
        if (!c.active) {
            if (level >= s.sensitivity) c.armed = true;
            if (level < s.squelch && c.armed) {
                c.noise(Gauss(rng, 0.0f, 1.0f), c.noiseTaps);
                const int r = rng();
                c.amp = s.randomAmplitude != 0.0
                            ? static_cast<float>(static_cast<double>(r) * 3.051850947599719e-05 * 0.6 + 0.4)
                            : 1.0f;
                c.burstLength =
                    static_cast<std::int32_t>(std::trunc(static_cast<double>(rateF) * durationSec));
                c.countdown = c.burstLength;
                c.active = true;
                drawGap(c);
                c.gapActive = false;
                if (s.randomBreakup == 0.0) c.gapStart = 0;
            }
        } else {
            c.countdown = c.countdown - 1;
            if (c.gapActive) {
                value = 0;
                c.gapLen = c.gapLen - 1;
                if (c.gapLen == 0) {
                    c.gapActive = false;
                    drawGap(c);
                }
            } else {
                const double noise = c.noise(Gauss(rng, 0.0f, 1.0f), c.noiseTaps);
                double v = static_cast<double>(c.amp) * noise * kP * 0.25;
                if (s.voiceBleed != 0.0) v = v + 0.75 * static_cast<double>(voice);
                value = Store16(v);
            }
            if (c.countdown == c.gapStart) c.gapActive = true;
            if (c.countdown <= 0) {
                c.active = false;
                c.armed = false;
            }
        }
        const double u = Gauss(rng, 0.0f, 1.0f);
        if (s.changingStaticEnabled != 0.0 && u > staticThreshold) {
            float lo = static_cast<float>(100.0 * Gauss(rng, 3.0f, 2.0f));
            float hi = static_cast<float>(500.0 * Gauss(rng, 3.0f, 2.0f));
            if (lo >= hi) std::swap(lo, hi);
            c.noiseTaps = Design(lo, hi, rateF);
        }
        sample = Store16((static_cast<double>(value) * mix.wetMix + x * mix.dryMix) * 0.01);
    };

    Samples out = in;
    for (std::size_t start = 0; start < out.size(); start += kBlockSamples) {
        const std::size_t count = std::min<std::size_t>(kBlockSamples, out.size() - start);
        std::int16_t* b = out.data() + start;
        if (!stereo) {
            for (std::size_t i = 0; i < count; ++i) stepOne(b[i], chans[0]);
        } else {
            for (std::size_t i = 0; i + 1 < count; i += 2) {
                stepOne(b[i], chans[0]);
                stepOne(b[i + 1], chans[1]);
            }
        }
        if (s.aliasing != 0.0) {
            const std::size_t width = stereo ? 2 : 1;
            const std::size_t frames = count / width;
            for (std::size_t f = 1; f < frames; f += 2)
                for (std::size_t ch = 0; ch < width; ++ch) b[f * width + ch] = b[(f - 1) * width + ch];
        }
    }
    return out;
}

}  // namespace plainref
