// Alienator: ring modulation of every loud enough sample by a sine carrier,
// mixed with the sample itself, with an optional random hopping of the
// carrier frequency around its centre, in steps or gliding.
//
// One modulation counter n serves all channels and advances once per
// modulated sample, so in stereo a frame with both channels loud moves it by
// two. The phase is recomputed from n on every sample (f * 2pi / rate * n),
// never accumulated, and jumps when f changes.
//
// A span runs in two passes: the followers, the squelch, the hopping and
// the phases sample by sample, then the modulation of the samples that
// passed, whose sines depend on nothing but their phases.
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "dsp/cpu_features.h"
#include "dsp/enclosures.h"
#include "dsp/level_gate.h"
#include "dsp/signal_helpers.h"
#include "dsp/stream_processor.h"
#if TOVANA_ENCLOSURES
#define TOVANA_SIMD_TARGET TOVANA_AVX2_FMA
#include "dsp/enclosures_simd.h"
#endif

namespace dsp {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTwoOverRandMax = 6.103701895199438e-05;  // 2 / 32767

// The hopping state of one channel.
struct HopState {
    std::uint32_t k = 0;  // samples into the current hop or glide segment
    double f = 0.0;       // current frequency
    double a = 0.0;       // glide: where the segment started
    double b = 0.0;       // glide: where it is heading
    double step = 0.0;    // glide: (b - a) / (2 * glideSamples), kept while a and b hold
};

// A hop's frequency from a draw r: carrier + deviation * (2r / 32767 - 1).
inline double HopFreq(double carrier, double deviation, int r) {
    return carrier + deviation * (r * kTwoOverRandMax - 1.0);
}

// Half the distance from a to b per glideSamples samples.
inline void AimAt(HopState& hop, std::uint32_t glideSamples) { hop.step = (hop.b - hop.a) / (2.0 * glideSamples); }

struct Channel {
    explicit Channel(double P) : level(kAlienatorLevelOld, kAlienatorLevelNew, P) {}
    LevelFollower level;
    HopState hop;
};

// Samples per hop: floor(rate * period / 1000), kept within the counter's
// range (the page limits the period to 1..1000 ms).
std::uint32_t HopSamples(std::int32_t sampleRate, double hopPeriodMs) {
    const double span = std::floor(sampleRate * hopPeriodMs * 0.001);
    if (!(span > 0.0)) return 0;
    if (span >= 4294967295.0) return 4294967295u;
    return static_cast<std::uint32_t>(span);
}

class Alienator : public EffectProcessor<AlienatorSettings> {
public:
    Alienator(const AlienatorSettings& effect, const MixLevels& mix, const RunFormat& format,
              std::uint32_t seed)
        : EffectProcessor(format, seed),
          settings_(effect),
          squelch_(effect.squelch, LevelGate::Test::Above),
          mono_(format.P),
          left_(format.P),
          right_(format.P) {
        Derive(effect, mix);
        Clear();
    }

private:
    void Derive(const AlienatorSettings& effect, const MixLevels& mix) {
        carrier_ = effect.carrierFreq;
        deviation_ = effect.hopFreqDev;
        hopping_ = effect.hopEnabled != 0.0;
        gliding_ = effect.smoothEnabled != 0.0;
        wet_ = mix.wet;
        dry_ = mix.dry;
        hopSamples_ = HopSamples(format_.sampleRate, effect.hopPeriod);
        // A glide over zero samples would divide by zero and silence the
        // output (rates below 1000 frames per second): glide as over one.
        glideSamples_ = hopSamples_ == 0 ? 1 : hopSamples_;
    }

    void Take(const AlienatorSettings& next, const MixLevels& mix) override {
        const AlienatorSettings& now = settings_;
        // A changed hop (or the carrier it hops around) starts hopping
        // afresh, as a new run does: the counters and the pending segments
        // belong to the old settings.
        const bool hopChanged = next.carrierFreq != now.carrierFreq ||
                                next.hopFreqDev != now.hopFreqDev ||
                                next.hopPeriod != now.hopPeriod ||
                                next.hopEnabled != now.hopEnabled ||
                                next.smoothEnabled != now.smoothEnabled;
        if (next.squelch != now.squelch) squelch_ = LevelGate(next.squelch, LevelGate::Test::Above);
        settings_ = next;
        Derive(next, mix);
        if (hopChanged) StartHopping();
    }

    void Clear() override {
        for (Channel* channel : {&mono_, &left_, &right_}) *channel = Channel(format_.P);
        n_ = 0.0;
        StartHopping();
    }

    void StartHopping() {
        for (Channel* channel : {&mono_, &left_, &right_}) channel->hop = HopState{};
        if (!hopping_) {
            mono_.hop.f = left_.hop.f = right_.hop.f = carrier_;
            return;
        }
        // Eight draws whatever the channel count: mono f and b (a = f), then
        // left f, a, b, then right f, a, b.
        mono_.hop.f = RandomFreq(random_());
        mono_.hop.a = mono_.hop.f;
        mono_.hop.b = RandomFreq(random_());
        for (Channel* channel : {&left_, &right_}) {
            channel->hop.f = RandomFreq(random_());
            channel->hop.a = RandomFreq(random_());
            channel->hop.b = RandomFreq(random_());
        }
        for (Channel* channel : {&mono_, &left_, &right_}) AimGlide(channel->hop);
    }

    // What the first pass reads and keeps, in locals the compiler can hold
    // in registers: the stores of the phases cannot touch them.
    struct Pass {
        double carrier, deviation, rate;
        std::uint32_t hopSamples, glideSamples;
        bool hopping, gliding;
        double n;
        double phaseF;     // the f of phaseStep
        double phaseStep;  // f * 2pi / rate
        double* __restrict theta;
        std::uint32_t* __restrict modulated;
        std::uint32_t m;   // samples modulated so far

        double RandomFreq(int r) const { return HopFreq(carrier, deviation, r); }
        void AimGlide(HopState& hop) const { AimAt(hop, glideSamples); }
    };

#if TOVANA_ENCLOSURES
    // Of a sine S the mix keeps Store(x (S wet + dry) 0.01), and before
    // its low 16 bits are taken, the truncated value is monotonic in S.
    TOVANA_AVX2_FMA static __m256d Truncated(__m256d sine, __m256d x, __m256d wet, __m256d dry) {
        const __m256d v = _mm256_mul_pd(_mm256_mul_pd(x, _mm256_add_pd(_mm256_mul_pd(sine, wet), dry)),
                                        _mm256_set1_pd(0.01));
        return _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    }

    // theta[k] = sin(theta[k]), k < count, the C library's only where an
    // enclosure of it leaves the stored sample open.
    TOVANA_AVX2_FMA static void SinesAvx2(double* theta, const std::int16_t* samples,
                                          const std::uint32_t* modulated, std::uint32_t count,
                                          double wet, double dry) {
        const __m256d vWet = _mm256_set1_pd(wet), vDry = _mm256_set1_pd(dry);
        std::uint32_t k = 0;
        for (; k + 4 <= count; k += 4) {
            const __m256d phase = _mm256_loadu_pd(theta + k);
            enclosures::Enclosure<simd::Four> cosine, sine;
            enclosures::EncloseSinCos(phase, cosine, sine);
            const __m256d x = _mm256_set_pd(samples[modulated[k + 3]], samples[modulated[k + 2]],
                                            samples[modulated[k + 1]], samples[modulated[k]]);
            const __m256d low = Truncated(sine.lo, x, vWet, vDry);
            const __m256d same = _mm256_and_pd(
                _mm256_cmp_pd(low, Truncated(sine.hi, x, vWet, vDry), _CMP_EQ_OQ),
                _mm256_cmp_pd(simd::Abs(low), _mm256_set1_pd(0x1p62), _CMP_LT_OQ));
            const int decided = _mm256_movemask_pd(same);
            double phases[4];
            _mm256_storeu_pd(phases, phase);
            _mm256_storeu_pd(theta + k, sine.lo);
            for (int i = 0; i < 4; ++i) {
                if (!(decided >> i & 1)) theta[k + i] = std::sin(phases[i]);
            }
        }
        for (; k < count; ++k) theta[k] = std::sin(theta[k]);
    }
#endif

    void ProcessSpan(std::int16_t* samples, std::uint32_t frames) override {
        Pass pass{carrier_, deviation_, rate_, hopSamples_, glideSamples_, hopping_, gliding_,
                  n_, phaseF_, phaseStep_, theta_, modulated_, 0};
        RandomGenerator rng = random_;
        LevelGate gate = squelch_;
        if (!format_.stereo) {
            Channel mono = mono_;
            for (std::uint32_t i = 0; i < frames; ++i) Phase(pass, samples, i, mono, false, gate, rng);
            mono_ = mono;
        } else {
            Channel left = left_;
            Channel right = right_;
            const std::uint32_t count = 2 * frames;
            for (std::uint32_t i = 0; i + 1 < count; i += 2) {
                Phase(pass, samples, i, left, true, gate, rng);
                Phase(pass, samples, i + 1, right, true, gate, rng);
            }
            left_ = left;
            right_ = right;
        }
        random_ = rng;
        squelch_ = gate;
        n_ = pass.n;
        phaseF_ = pass.phaseF;
        phaseStep_ = pass.phaseStep;
        const std::uint32_t m = pass.m;
        const double wet = wet_;
        const double dry = dry_;
        // Now the sines.
#if TOVANA_ENCLOSURES
        if (UseAvx2()) {
            SinesAvx2(theta_, samples, modulated_, m, wet, dry);
        } else
#endif
        {
            for (std::uint32_t k = 0; k < m; ++k) theta_[k] = std::sin(theta_[k]);
        }
        for (std::uint32_t k = 0; k < m; ++k) {
            std::int16_t& sample = samples[modulated_[k]];
            const double x = sample;
            sample = Store(x * (theta_[k] * wet + dry) * 0.01);
        }
    }

    double RandomFreq(int r) const { return HopFreq(carrier_, deviation_, r); }

    void AimGlide(HopState& hop) const { AimAt(hop, glideSamples_); }

    // The first pass for samples[i]: at or below the squelch it stays as it
    // is; otherwise its phase and index are noted for the second pass.
    __attribute__((always_inline)) static void Phase(Pass& p, const std::int16_t* samples,
                                                     std::uint32_t i, Channel& channel,
                                                     bool stereoChannel, const LevelGate& gate,
                                                     RandomGenerator& rng) {
        const double x = samples[i];
        if (!gate.Passes(channel.level.Power(x))) return;

        HopState& hop = channel.hop;
        double f = p.carrier;
        int r = 0;
        if (p.hopping) {
            r = rng();  // one draw per modulated sample, used or not
            if (!p.gliding) {
                if (hop.k == p.hopSamples) {
                    hop.k = 0;
                    hop.f = p.RandomFreq(r);
                } else {
                    ++hop.k;
                }
            } else {
                hop.f = hop.a + hop.k * hop.step;
            }
            f = hop.f;
        }

        // f * 2pi / rate, worked out again only for a new f (a zero of the
        // other sign too).
        if (!(f == p.phaseF) || std::signbit(f) != std::signbit(p.phaseF)) {
            p.phaseF = f;
            p.phaseStep = f * kTwoPi / p.rate;
        }
        p.theta[p.m] = p.phaseStep * p.n;
        p.modulated[p.m] = i;
        ++p.m;
        p.n += 1.0;

        if (p.hopping && p.gliding) {
            // The segment ends after glideSamples + 2 samples in mono and
            // + 1 in stereo; mono also starts the next one a step further on.
            const std::uint32_t oldK = hop.k++;
            if (!stereoChannel && oldK > p.glideSamples) {
                hop.a = hop.f + hop.step;
                hop.k = 0;
                hop.b = p.RandomFreq(r);
                p.AimGlide(hop);
            } else if (stereoChannel && oldK == p.glideSamples) {
                hop.a = hop.f;
                hop.k = 0;
                hop.b = p.RandomFreq(r);
                p.AimGlide(hop);
            }
        }
    }

    AlienatorSettings settings_;  // as last taken
    const double rate_ = format_.sampleRate;
    double carrier_ = 0.0;
    double deviation_ = 0.0;
    LevelGate squelch_;  // level > Squelch
    bool hopping_ = false;
    bool gliding_ = false;
    double wet_ = 0.0;
    double dry_ = 0.0;
    std::uint32_t hopSamples_ = 0;
    std::uint32_t glideSamples_ = 1;
    double n_ = 0.0;  // the shared modulation counter
    double phaseF_ = std::nan("");  // the f of phaseStep_
    double phaseStep_ = 0.0;
    Channel mono_;
    Channel left_;
    Channel right_;
    // The second pass's work: at most one entry per sample of a span.
    double theta_[kBlockBytes / 2];
    std::uint32_t modulated_[kBlockBytes / 2];
};

}  // namespace

std::unique_ptr<StreamProcessor> CreateAlienator(const AlienatorSettings& settings, const MixLevels& mix,
                                                 const RunFormat& format, std::uint32_t seed) {
    return std::make_unique<Alienator>(settings, mix, format, seed);
}

}  // namespace dsp
