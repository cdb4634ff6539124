// Communicator: a voice over a radio link. Every sample passes an 81-tap
// band-pass; when a channel has been loud and falls below the squelch it
// plays a burst of band-limited static, which may break up into a gap, vary
// in loudness and let the voice bleed through; the static's band may wander
// at random; the block may be aliased by holding every second frame.
//
// The voice filter does not depend on the burst state, so a span's voice
// outputs are computed before the per-sample state machine runs. Nor does
// the state machine depend on the static's filter outputs: it appends the
// static's inputs and notes the samples they make, and the outputs are
// summed side by side afterwards, before the taps change and at the end of
// the span. Each output still sums its taps in the one fixed order. The
// static's inputs themselves are drawn then too, many side by side: the
// burst notes the generator's state before each input's twelve draws and
// passes over them.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "dsp/fir_filter.h"
#include "dsp/level_gate.h"
#include "dsp/signal_helpers.h"
#include "dsp/stream_processor.h"

namespace dsp {
namespace {

constexpr double kOneOverRandMax = 3.051850947599719e-05;  // 1 / 32767
constexpr std::uint32_t kMaxBlockSamples = kBlockBytes / 2;
static_assert(kMaxBlockSamples <= FirFilter::kBlockCapacity, "a block fits a filter's buffer");

// A burst longer than 2^28 samples (hours of audio) is cut to that, so the
// countdowns never leave the 32-bit range.
constexpr double kLongestBurst = 268435456.0;

std::int32_t TruncatedCount(double value) {
    if (std::isnan(value)) return 0;
    if (value < -kLongestBurst) return -static_cast<std::int32_t>(kLongestBurst);
    if (value > kLongestBurst) return static_cast<std::int32_t>(kLongestBurst);
    return static_cast<std::int32_t>(value);
}

// A static sample whose value waits for its noise filter output.
struct PendingStatic {
    std::uint32_t sample;  // index in the span's samples
    std::uint32_t input;   // its input's place among those appended since the mark
    float amp;
    std::int16_t voice;    // the voice sample, for the bleed
    std::int16_t dry;      // the input sample
};

// Working memory of one processor, in one block.
struct Buffers {
    double voiceTaps[kFirTaps];
    double noiseTaps[2][kFirTaps];
    double voiceStorage[2][FirFilter::kStorageDoubles];
    double noiseStorage[2][FirFilter::kStorageDoubles];
    double voiceIn[kMaxBlockSamples];
    double voiceOut[kMaxBlockSamples];
    // At most one static input per sample and channel: the burst's first
    // sample primes the filter, the others each take one.
    PendingStatic pending[2][kMaxBlockSamples];
    // The generator's state before each static input since the mark.
    std::uint32_t noiseStates[2][kMaxBlockSamples];
    double noiseOut[kMaxBlockSamples];
};

struct Channel {
    Channel(double P, double* voiceStorage, double* noiseStorage, double* taps)
        : level(kCommunicatorLevelOld, kCommunicatorLevelNew, P),
          voice(voiceStorage),
          noise(noiseStorage),
          noiseTaps(taps) {}

    LevelFollower level;
    FirFilter voice;
    FirFilter noise;
    double* noiseTaps;
    bool armed = false;
    bool active = false;
    bool gapActive = false;
    std::int32_t countdown = 0;
    std::int32_t gapStart = 0;
    std::int32_t gapLen = 0;
    std::int32_t burstLength = 0;
    float amp = 0.0f;
    int index = 0;             // 0 left or mono, 1 right
    std::size_t mark = 0;      // the noise filter's inputs summed up to here
    std::uint32_t pending = 0;
};

class Communicator : public EffectProcessor<CommunicatorSettings> {
public:
    Communicator(const CommunicatorSettings& effect, const MixLevels& mix, const RunFormat& format,
                 std::uint32_t seed, std::unique_ptr<WorkingMemory> memory)
        : EffectProcessor(format, seed),
          memory_(std::move(memory)),
          buffers_(memory_->as<Buffers>()),
          settings_(effect),
          P_(format.P),
          oneOverP_(1.0 / format.P),
          rate_(static_cast<float>(format.sampleRate)),
          sensitivity_(effect.sensitivity, LevelGate::Test::AtLeast),
          squelch_(effect.squelch, LevelGate::Test::Below),
          channel_{NewChannel(0), NewChannel(1)} {
        Derive(effect, mix);
        DesignVoice(effect);
        Clear();
    }

private:
    Channel NewChannel(int c) const {
        Channel ch(P_, buffers_->voiceStorage[c], buffers_->noiseStorage[c], buffers_->noiseTaps[c]);
        ch.index = c;
        return ch;
    }

    void Derive(const CommunicatorSettings& effect, const MixLevels& mix) {
        durationSec_ = effect.duration * 0.001;
        staticThreshold_ = 5.0 - 2.0 * (effect.changingStatic * 0.01);
        breakup_ = effect.randomBreakup != 0.0;
        randomAmplitude_ = effect.randomAmplitude != 0.0;
        bleed_ = effect.voiceBleed != 0.0;
        changingStatic_ = effect.changingStaticEnabled != 0.0;
        aliasing_ = effect.aliasing != 0.0;
        wet_ = mix.wet;
        dry_ = mix.dry;
    }

    // The voice band; an edge at or above half the rate moves inside it.
    void DesignVoice(const CommunicatorSettings& effect) {
        float upper = static_cast<float>(effect.fullness);
        float lower = static_cast<float>(effect.frequency);
        if (!(upper < rate_ * 0.5)) upper = static_cast<float>(rate_ * 0.45);
        if (!(effect.frequency < rate_ * 0.5)) lower = static_cast<float>(rate_ * 0.4);
        BandPassDesign(lower, upper, rate_, buffers_->voiceTaps);
    }

    // The static's band starts as the voice band.
    void ResetNoiseBands() {
        for (auto& taps : buffers_->noiseTaps) {
            for (int i = 0; i < kFirTaps; ++i) taps[i] = buffers_->voiceTaps[i];
        }
    }

    void Take(const CommunicatorSettings& next, const MixLevels& mix) override {
        const CommunicatorSettings& now = settings_;
        if (next.sensitivity != now.sensitivity) {
            sensitivity_ = LevelGate(next.sensitivity, LevelGate::Test::AtLeast);
        }
        if (next.squelch != now.squelch) squelch_ = LevelGate(next.squelch, LevelGate::Test::Below);
        if (next.fullness != now.fullness || next.frequency != now.frequency) {
            // A new voice band is also the static's new band, as in a new
            // run; changing static moves it from there.
            DesignVoice(next);
            ResetNoiseBands();
        }
        settings_ = next;
        Derive(next, mix);
    }

    void Clear() override {
        for (int c = 0; c < 2; ++c) channel_[c] = NewChannel(c);
        ResetNoiseBands();
    }

    void ProcessSpan(std::int16_t* samples, std::uint32_t frames) override {
        const int channels = channels_;
        for (int c = 0; c < channels; ++c) {
            // Each channel's voice outputs for the whole span.
            for (std::uint32_t j = 0; j < frames; ++j) {
                buffers_->voiceIn[j] = 0.75 * (samples[j * channels + c] * oneOverP_);
            }
            channel_[c].voice.FilterBlock(buffers_->voiceIn, buffers_->voiceOut + c * frames, frames,
                                           buffers_->voiceTaps);
        }
        for (int c = 0; c < channels; ++c) {
            channel_[c].noise.MakeRoom(frames);
            channel_[c].mark = channel_[c].noise.Mark();
        }
        span_ = samples;
        RandomGenerator rng = random_;
        for (std::uint32_t j = 0; j < frames; ++j) {
            for (int c = 0; c < channels; ++c) {
                Step(channel_[c], j * channels + c, buffers_->voiceOut[c * frames + j], rng);
            }
        }
        random_ = rng;
        for (int c = 0; c < channels; ++c) FinishStatic(channel_[c]);
        if (aliasing_) Alias(samples, frames);
        // The frame an odd frame at the start of the next span repeats.
        for (int c = 0; c < channels; ++c) lastFrame_[c] = samples[(frames - 1) * channels + c];
    }

    // Every odd frame of the block repeats the frame before it.
    void Alias(std::int16_t* samples, std::uint32_t frames) const {
        const int channels = channels_;
        std::uint32_t j = 0;
        if (BlockPosition() % 2 != 0) {
            for (int c = 0; c < channels; ++c) samples[c] = lastFrame_[c];
            j = 2;
        } else {
            j = 1;
        }
        for (; j < frames; j += 2) {
            for (int c = 0; c < channels; ++c) {
                samples[j * channels + c] = samples[(j - 1) * channels + c];
            }
        }
    }

    // One sample of one channel, span_[at]: the voice, the burst state
    // machine, the changing static and the mix (for a static sample, the
    // mix waits for FinishStatic).
    void Step(Channel& ch, std::uint32_t at, double voiceOut, RandomGenerator& rng) {
        const std::int16_t input = span_[at];
        const double x = input;
        bool awaiting = false;
        const double power = ch.level.Power(x);
        std::int16_t sample = Store(voiceOut * P_);  // the voice sample

        if (!ch.active) {
            if (sensitivity_.Passes(power)) ch.armed = true;
            if (squelch_.Passes(power) && ch.armed) StartBurst(ch, rng);
        } else {
            ch.countdown = ch.countdown - 1;
            if (ch.gapActive) {
                sample = 0;
                ch.gapLen = ch.gapLen - 1;
                if (ch.gapLen == 0) {
                    ch.gapActive = false;
                    DrawGap(ch, rng);
                }
            } else {
                AppendNoise(ch, rng);
                buffers_->pending[ch.index][ch.pending++] = {
                    at, static_cast<std::uint32_t>(ch.noise.Mark() - 1 - ch.mark), ch.amp, sample, input};
                awaiting = true;
            }
            if (ch.countdown == ch.gapStart) ch.gapActive = true;  // from the next sample on
            if (ch.countdown <= 0) {
                ch.active = false;
                ch.armed = false;
            }
        }

        if (ChangingStaticDue(rng)) Reband(ch, rng);

        if (!awaiting) span_[at] = Store((sample * wet_ + x * dry_) * 0.01);
    }

    // The static samples noted since the channel's mark: their filter
    // outputs with the taps in force, the static value and the mix.
    void FinishStatic(Channel& ch) {
        if (ch.noise.Mark() == ch.mark) return;
        DrawNoise(ch);
        double* out = buffers_->noiseOut;
        ch.noise.OutputsSince(ch.mark, out, ch.noiseTaps);
        const PendingStatic* pending = buffers_->pending[ch.index];
        for (std::uint32_t i = 0; i < ch.pending; ++i) {
            const PendingStatic& p = pending[i];
            double value = p.amp * out[p.input] * P_ * 0.25;
            if (bleed_) value = value + 0.75 * p.voice;
            const std::int16_t sample = Store(value);
            span_[p.sample] = Store((sample * wet_ + p.dry * dry_) * 0.01);
        }
        ch.mark = ch.noise.Mark();
        ch.pending = 0;
    }

    // A static input, GaussianNoise(0, 1), that DrawNoise draws.
    void AppendNoise(Channel& ch, RandomGenerator& rng) {
        buffers_->noiseStates[ch.index][ch.noise.Mark() - ch.mark] = rng.State();
        ch.noise.Append(0.0);
        rng.SkipTwelve();
    }

    // Every static input since the mark.
    void DrawNoise(Channel& ch) {
        GaussianNoisesFrom(buffers_->noiseStates[ch.index], ch.noise.Mark() - ch.mark, 0.0f, 1.0f,
                           ch.noise.InputsSince(ch.mark));
    }

    void StartBurst(Channel& ch, RandomGenerator& rng) {
        AppendNoise(ch, rng);  // primes the noise filter
        const int r = rng();
        ch.amp = randomAmplitude_ ? static_cast<float>(r * kOneOverRandMax * 0.6 + 0.4) : 1.0f;
        ch.burstLength = TruncatedCount(rate_ * durationSec_);
        ch.countdown = ch.burstLength;
        ch.active = true;
        DrawGap(ch, rng);
        ch.gapActive = false;
        if (!breakup_) ch.gapStart = 0;
    }

    // Where the next gap starts (as a countdown value) and how long it lasts.
    void DrawGap(Channel& ch, RandomGenerator& rng) {
        ch.gapStart = static_cast<std::int32_t>(GaussianNoiseFrom(rng, 1.0f, 1.0f) * (ch.burstLength / 3));
        ch.gapLen = static_cast<std::int32_t>(GaussianNoiseFrom(rng, 1.0f, 1.0f) * (ch.burstLength / 4));
    }

    // The changing-static test: a GaussianNoise(0, 1) drawn on every sample,
    // whether the option is on or not, against the threshold. Its twelve
    // values are first summed exactly as integers; the single-precision sum
    // differs from that by less than 1e-5, so only sums near the threshold
    // need the rounded sum.
    bool ChangingStaticDue(RandomGenerator& rng) {
        if (!changingStatic_) {
            rng.SkipTwelve();
            return false;
        }
        int draws[12];
        int total = 0;
        for (int& r : draws) {
            r = rng();
            total += r;
        }
        if (total * kOneOverRandMax - 6.0 < staticThreshold_ - 1e-4) return false;
        const int* next = draws;
        return GaussianNoiseFrom([&next] { return *next++; }, 0.0f, 1.0f) > staticThreshold_;
    }

    // A new random band for the channel's static. Edges drawn the wrong way
    // round are swapped: as drawn they would give an inverted band, and
    // equal edges would silence the static until the next re-band.
    void Reband(Channel& ch, RandomGenerator& rng) {
        float lo = static_cast<float>(100.0 * GaussianNoiseFrom(rng, 3.0f, 2.0f));
        float hi = static_cast<float>(500.0 * GaussianNoiseFrom(rng, 3.0f, 2.0f));
        if (lo >= hi) std::swap(lo, hi);
        FinishStatic(ch);  // what came before used the old taps
        BandPassDesign(lo, hi, rate_, ch.noiseTaps);
    }

    const std::unique_ptr<WorkingMemory> memory_;
    Buffers* const buffers_;
    CommunicatorSettings settings_;  // as last taken
    const double P_;
    const double oneOverP_;
    const float rate_;
    double durationSec_ = 0.0;
    double staticThreshold_ = 0.0;
    LevelGate sensitivity_;  // level >= Sensitivity arms
    LevelGate squelch_;      // level < Squelch starts a burst
    bool breakup_ = false;
    bool randomAmplitude_ = false;
    bool bleed_ = false;
    bool changingStatic_ = false;
    bool aliasing_ = false;
    double wet_ = 0.0;
    double dry_ = 0.0;
    Channel channel_[2];
    std::int16_t lastFrame_[2] = {0, 0};
    std::int16_t* span_ = nullptr;  // the samples of the span in hand
};

}  // namespace

std::unique_ptr<StreamProcessor> CreateCommunicator(const CommunicatorSettings& settings,
                                                    const MixLevels& mix, const RunFormat& format,
                                                    std::uint32_t seed, MemorySource& memory) {
    auto buffers = std::make_unique<WorkingMemory>();
    if (!buffers->Obtain(memory, sizeof(Buffers))) return nullptr;
    std::memset(buffers->data(), 0, sizeof(Buffers));  // in use from here on, not on a first call
    return std::make_unique<Communicator>(settings, mix, format, seed, std::move(buffers));
}

}  // namespace dsp
