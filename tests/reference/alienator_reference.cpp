#include <cmath>

#include "reference_common.h"
#include "reference_effects.h"

namespace plainref {
namespace {

struct Hop {
    std::uint32_t k = 0;
    double f = 0.0, a = 0.0, b = 0.0;
};

}  // namespace

Samples Alienator(const Samples& in, int channels, int rate, const AlienatorSettings& s,
                  const WorkingMix& mix, std::uint32_t seed) {
    Lcg rng(seed);
    const bool stereo = channels != 1;
    const double rateD = rate;
    auto randomFreq = [&](int r) {
        return s.carrierFreq + s.hopFreqDev * (static_cast<double>(r) * 6.103701895199438e-05 - 1.0);
    };
    Hop mono, left, right;
    if (s.hopEnabled == 0.0) {
        mono.f = left.f = right.f = s.carrierFreq;
    } else {
        mono.f = randomFreq(rng());
        mono.b = randomFreq(rng());
        mono.a = mono.f;
        left.f = randomFreq(rng());
        left.a = randomFreq(rng());
        left.b = randomFreq(rng());
        right.f = randomFreq(rng());
        right.a = randomFreq(rng());
        right.b = randomFreq(rng());
    }
    const std::int32_t hopSamples =
        static_cast<std::int32_t>(std::floor(rateD * s.hopPeriod * 0.001));
    // A glide over zero samples would divide by zero: it glides as if the
    // period were one sample.
    const std::uint32_t glideSamples = hopSamples == 0 ? 1u : static_cast<std::uint32_t>(hopSamples);

    Follower monoL(0.95, 0.050000000000000044), leftL(0.95, 0.050000000000000044),
        rightL(0.95, 0.050000000000000044);
    double n = 0.0;
    Samples out = in;

    auto stepOne = [&](std::int16_t& sample, Follower& follower, Hop& h, bool stereoRule) {
        const double x = sample;
        const double level = follower(x);
        if (!(level > s.squelch)) return;
        double f = s.carrierFreq;
        int r = 0;
        bool glide = false;
        double step = 0.0;
        if (s.hopEnabled != 0.0) {
            r = rng();
            if (s.smoothEnabled == 0.0) {
                if (h.k == static_cast<std::uint32_t>(hopSamples)) {
                    h.k = 0;
                    h.f = randomFreq(r);
                } else {
                    h.k = h.k + 1;
                }
                f = h.f;
            } else {
                glide = true;
                step = (h.b - h.a) / (2.0 * static_cast<double>(glideSamples));
                h.f = h.a + static_cast<double>(h.k) * step;
                f = h.f;
            }
        }
        const double theta = f * kTwoPi / rateD * n;
        n = n + 1.0;
        sample = Store16(x * (std::sin(theta) * mix.wetMix + mix.dryMix) * 0.01);
        if (glide) {
            const std::uint32_t oldK = h.k;
            h.k = h.k + 1;
            if (!stereoRule) {
                if (oldK > glideSamples) {
                    h.a = f + step;
                    h.k = 0;
                    h.b = randomFreq(r);
                }
            } else if (oldK == glideSamples) {
                h.a = f;
                h.k = 0;
                h.b = randomFreq(r);
            }
        }
    };

    if (!stereo) {
        for (auto& v : out) stepOne(v, monoL, mono, false);
    } else {
        for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
            stepOne(out[i], leftL, left, true);
            stepOne(out[i + 1], rightL, right, true);
        }
    }
    return out;
}

}  // namespace plainref
