// Deepenator: per channel a feed-forward comb (the input minus a delayed
// copy) and a single-tap feedback reverb, sample by sample in double; then
// the phase-vocoder pitch shifter; then a two-stage mix in which the wet
// value is stored to 16 bits before the dry part is added.
//
// The right chain serves mono streams and the right channel of stereo
// ones, the left chain the left channel. Once per block the reverb read
// offsets (for the next block) and the pitch factors (for this block) may be
// jittered, drawing right before left, offsets before factors. The draws
// are made as the block begins; the offsets wait for the next block.
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>

#include "dsp/deepenator.h"
#include "dsp/delay_line.h"
#include "dsp/pitch_shifter.h"
#include "dsp/signal_helpers.h"
#include "dsp/stream_processor.h"

namespace dsp {

float DeepenatorPitchFactor(double halfSteps) {
    const double m = halfSteps / 12;
    return static_cast<float>((m + 1) * (0.25 * m + 0.5) + 0.5);
}

namespace {

constexpr std::int32_t kFrame = 256;
constexpr std::int32_t kOversampling = 8;
constexpr std::size_t kHandOverBytes = 65000;  // 16250 floats, more than a block
static_assert(kHandOverBytes / sizeof(float) >= kBlockBytes / 2, "a block fits a hand-over buffer");
constexpr float kPitchJitterVariance = 0.015f;

struct Chain {
    DelayLine comb;
    DelayLine reverb;
    float gain = 0.0f;
    std::int32_t offset = 0;      // reverb read offset while jitter is on
    std::int32_t nextOffset = 0;  // drawn for the next block
    float baseFactor = 1.0f;
    float factor = 1.0f;

    // One sample through the comb and the reverb.
    double Step(double x, bool jitter) {
        const double v = 0.5 * (x - comb.Read(0));
        comb.Write(x);
        const double y = gain * reverb.Read(jitter ? offset : 0) + v;
        reverb.Write(y);
        return y;
    }

    void JitterOffset(RandomGenerator& random) {
        offset = nextOffset;
        const int u = random();
        nextOffset = static_cast<std::int32_t>(u / 32767.0 * reverb.length() * 0.3);
    }

    void JitterFactor(RandomGenerator& random) {
        float f = static_cast<float>(GaussianNoiseFrom(random, baseFactor, kPitchJitterVariance));
        if (f < 0.5f) f = 0.5f;
        if (f > 2.0f) f = 2.0f;
        factor = f;
    }
};

// A shifter of the processor's own, in its working memory.
class OwnShifter {
public:
    OwnShifter() = default;
    OwnShifter(const OwnShifter&) = delete;
    OwnShifter& operator=(const OwnShifter&) = delete;
    ~OwnShifter() {
        if (shifter_ != nullptr) shifter_->~PitchShifter();
    }
    PitchShifter* Obtain(MemorySource& source) {
        if (!memory_.Obtain(source, sizeof(PitchShifter))) return nullptr;
        shifter_ = new (memory_.data()) PitchShifter;
        return shifter_;
    }

private:
    WorkingMemory memory_;
    PitchShifter* shifter_ = nullptr;
};

class Deepenator : public EffectProcessor<DeepenatorSettings> {
public:
    Deepenator(const DeepenatorSettings& effect, const MixLevels& mix, const RunFormat& format,
               std::uint32_t seed)
        : EffectProcessor(format, seed), settings_(effect), P_(format.P),
          rate_(static_cast<float>(format.sampleRate)) {
        Derive(effect, mix);
    }

    // Every buffer and line, in this order, and the shifters. A line has
    // room for the longer of its delay now and its largest delay.
    bool Obtain(const DeepenatorSettings& largest, const ProcessorResources& resources) {
        MemorySource& memory = *resources.memory;
        if (!wetMemory_.Obtain(memory, kHandOverBytes) || !rightMemory_.Obtain(memory, kHandOverBytes) ||
            !leftMemory_.Obtain(memory, kHandOverBytes)) {
            return false;
        }
        const DeepenatorSettings& now = settings_;
        if (!CreateLine(right_.comb, now.combDelayRight, largest.combDelayRight, memory) ||
            !CreateLine(right_.reverb, now.reverbDelayRight, largest.reverbDelayRight, memory) ||
            !CreateLine(left_.comb, now.combDelayLeft, largest.combDelayLeft, memory) ||
            !CreateLine(left_.reverb, now.reverbDelayLeft, largest.reverbDelayLeft, memory)) {
            return false;
        }
        SetLengths(now);
        right_.shifter = resources.rightShifter;
        left_.shifter = resources.leftShifter;
        ownsShifters_ = right_.shifter == nullptr;
        if (ownsShifters_) {
            right_.shifter = ownRight_.Obtain(memory);
            left_.shifter = format_.stereo ? ownLeft_.Obtain(memory) : nullptr;
            if (right_.shifter == nullptr || (format_.stereo && left_.shifter == nullptr)) return false;
        }
        PitchShifter::PrepareFrame(kFrame);
        Clear();
        return true;
    }

private:
    struct ChainShifter : Chain {
        PitchShifter* shifter = nullptr;
    };

    bool CreateLine(DelayLine& line, double ms, double largestMs, MemorySource& memory) const {
        const std::int64_t length = DelayLine::LengthFor(format_.sampleRate, ms);
        const std::int64_t room = DelayLine::LengthFor(format_.sampleRate, largestMs);
        if (length < 0) return false;
        return line.Create(room > length ? room : length, memory);
    }

    void SetLengths(const DeepenatorSettings& effect) {
        const std::int32_t rate = format_.sampleRate;
        right_.comb.SetLength(DelayLine::LengthFor(rate, effect.combDelayRight));
        right_.reverb.SetLength(DelayLine::LengthFor(rate, effect.reverbDelayRight));
        left_.comb.SetLength(DelayLine::LengthFor(rate, effect.combDelayLeft));
        left_.reverb.SetLength(DelayLine::LengthFor(rate, effect.reverbDelayLeft));
    }

    void Derive(const DeepenatorSettings& effect, const MixLevels& mix) {
        wetMix_ = mix.wet;
        dryMix_ = mix.dry;
        pitchJitter_ = effect.randomPitchScaleEnabled != 0.0;
        reverbJitter_ = effect.randomReverbDelayEnabled != 0.0;
        right_.gain = static_cast<float>(effect.reverbPowerRight * 0.005);
        left_.gain = static_cast<float>(effect.reverbPowerLeft * 0.005);
        right_.baseFactor = DeepenatorPitchFactor(effect.pitchScaleRight);
        left_.baseFactor = DeepenatorPitchFactor(effect.pitchScaleLeft);
    }

    void Take(const DeepenatorSettings& next, const MixLevels& mix) override {
        const float rightBase = right_.baseFactor;
        const float leftBase = left_.baseFactor;
        const std::int32_t rightReverb = right_.reverb.length();
        const std::int32_t leftReverb = left_.reverb.length();
        Derive(next, mix);
        SetLengths(next);
        // A new pitch is heard at once; a jittered one moves from there with
        // the next block.
        if (!pitchJitter_ || right_.baseFactor != rightBase) right_.factor = right_.baseFactor;
        if (!pitchJitter_ || left_.baseFactor != leftBase) left_.factor = left_.baseFactor;
        // Offsets drawn for another line length would read past the new one.
        if (right_.reverb.length() != rightReverb) right_.offset = right_.nextOffset = 0;
        if (left_.reverb.length() != leftReverb) left_.offset = left_.nextOffset = 0;
        settings_ = next;
    }

    void Clear() override {
        for (ChainShifter* chain : {&right_, &left_}) {
            chain->comb.Clear();
            chain->reverb.Clear();
            chain->offset = chain->nextOffset = 0;
            chain->factor = chain->baseFactor;
        }
        if (ownsShifters_) {
            right_.shifter->Clear();
            if (left_.shifter != nullptr) left_.shifter->Clear();
        }
    }

    void BeginBlock() override {
        const bool stereo = format_.stereo;
        if (reverbJitter_) {
            right_.JitterOffset(random_);
            if (stereo) left_.JitterOffset(random_);
        }
        if (pitchJitter_) {
            right_.JitterFactor(random_);
            if (stereo) left_.JitterFactor(random_);
        }
    }

    void ProcessSpan(std::int16_t* samples, std::uint32_t frames) override {
        float* wet = wetMemory_.as<float>();
        float* right = rightMemory_.as<float>();
        float* left = leftMemory_.as<float>();
        const auto count = static_cast<std::int32_t>(frames);
        const double scale = 1.0 / P_;

        if (!format_.stereo) {
            for (std::int32_t i = 0; i < count; ++i) {
                wet[i] = static_cast<float>(right_.Step(samples[i] * scale * 0.75, reverbJitter_));
            }
            right_.shifter->Process(right_.factor, count, kFrame, kOversampling, rate_, wet, wet);
        } else {
            for (std::int32_t j = 0; j < count; ++j) {
                left[j] = static_cast<float>(left_.Step(samples[2 * j] * scale * 0.75, reverbJitter_));
                right[j] =
                    static_cast<float>(right_.Step(samples[2 * j + 1] * scale * 0.75, reverbJitter_));
            }
            right_.shifter->Process(right_.factor, count, kFrame, kOversampling, rate_, right, right);
            left_.shifter->Process(left_.factor, count, kFrame, kOversampling, rate_, left, left);
            for (std::int32_t j = 0; j < count; ++j) {
                wet[2 * j] = left[j];
                wet[2 * j + 1] = right[j];
            }
        }

        MixStoredWet(wet, P_, wetMix_, dryMix_, samples, count * channels_);
    }

    DeepenatorSettings settings_;  // as last taken
    const double P_;
    const float rate_;
    double wetMix_ = 0.0;
    double dryMix_ = 0.0;
    bool pitchJitter_ = false;
    bool reverbJitter_ = false;
    bool ownsShifters_ = false;
    ChainShifter right_;
    ChainShifter left_;
    WorkingMemory wetMemory_;
    WorkingMemory rightMemory_;
    WorkingMemory leftMemory_;
    OwnShifter ownRight_;
    OwnShifter ownLeft_;
};

}  // namespace

std::unique_ptr<StreamProcessor> CreateDeepenator(const DeepenatorSettings& settings, const MixLevels& mix,
                                                  const RunFormat& format, std::uint32_t seed,
                                                  const DeepenatorSettings& largest,
                                                  const ProcessorResources& resources) {
    auto processor = std::make_unique<Deepenator>(settings, mix, format, seed);
    if (!processor->Obtain(largest, resources)) return nullptr;
    return processor;
}

}  // namespace dsp
