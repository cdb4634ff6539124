// Deepenator: per channel a feed-forward comb (the input minus a delayed
// copy) and a single-tap feedback reverb, sample by sample in double; then,
// block by block, the phase-vocoder pitch shifter; then a two-stage mix in
// which the wet value is stored to 16 bits before the dry part is added.
//
// The right chain serves mono selections and the right channel of stereo
// ones, the left chain the left channel. Once per block the reverb read
// offsets (for the next block) and the pitch factors (for this block) may be
// jittered, drawing right before left, offsets before factors.
#include <cmath>
#include <cstdint>
#include <memory>

#include "dsp/deepenator.h"
#include "dsp/delay_line.h"
#include "dsp/effects.h"
#include "dsp/frame.h"
#include "dsp/pitch_shifter.h"
#include "dsp/signal_helpers.h"
#include "platform/random.h"

namespace dsp {

float DeepenatorPitchFactor(double halfSteps) {
    const double m = halfSteps / 12;
    return static_cast<float>((m + 1) * (0.25 * m + 0.5) + 0.5);
}

namespace {

constexpr std::int32_t kFrame = 256;
constexpr std::int32_t kOversampling = 8;
constexpr std::size_t kHandOverBytes = 65000;  // 16250 floats, more than a block
constexpr float kPitchJitterVariance = 0.015f;

struct Chain {
    DelayLine comb;
    DelayLine reverb;
    float gain = 0.0f;
    std::int32_t offset = 0;  // reverb read offset while jitter is on
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

    void JitterOffset() {
        const int u = platform::Random();
        offset = static_cast<std::int32_t>(u / 32767.0 * reverb.length() * 0.3);
    }

    void JitterFactor() {
        float f = static_cast<float>(GaussianNoise(baseFactor, kPitchJitterVariance));
        if (f < 0.5f) f = 0.5f;
        if (f > 2.0f) f = 2.0f;
        factor = f;
    }
};

class DeepenatorRun : public EffectRun {
public:
    DeepenatorRun(const RunFormat& format, const DeepenatorSettings& effect, const WorkingMix& mix)
        : stereo_(format.stereo),
          P_(format.P),
          rate_(static_cast<float>(format.sampleRate)),
          wetMix_(mix.wetMix),
          dryMix_(mix.dryMix),
          pitchJitter_(effect.randomPitchScaleEnabled != 0.0),
          reverbJitter_(effect.randomReverbDelayEnabled != 0.0) {
        right_.gain = static_cast<float>(effect.reverbPowerRight * 0.005);
        left_.gain = static_cast<float>(effect.reverbPowerLeft * 0.005);
        right_.baseFactor = right_.factor = DeepenatorPitchFactor(effect.pitchScaleRight);
        left_.baseFactor = left_.factor = DeepenatorPitchFactor(effect.pitchScaleLeft);
    }

    // Every buffer and line of the run, in the order the run creates them.
    bool Obtain(std::int32_t rate, const DeepenatorSettings& effect) {
        if (!wetMemory_.Obtain(kHandOverBytes) || !rightMemory_.Obtain(kHandOverBytes) ||
            !leftMemory_.Obtain(kHandOverBytes)) {
            return false;
        }
        return right_.comb.Create(DelayLine::LengthFor(rate, effect.combDelayRight)) &&
               right_.reverb.Create(DelayLine::LengthFor(rate, effect.reverbDelayRight)) &&
               left_.comb.Create(DelayLine::LengthFor(rate, effect.combDelayLeft)) &&
               left_.reverb.Create(DelayLine::LengthFor(rate, effect.reverbDelayLeft));
    }

    void ProcessBlock(std::int16_t* samples, std::uint32_t count) override {
        float* wet = wetMemory_.as<float>();
        float* right = rightMemory_.as<float>();
        float* left = leftMemory_.as<float>();
        const auto n = static_cast<std::int32_t>(count);
        const double scale = 1.0 / P_;

        if (!stereo_) {
            for (std::int32_t i = 0; i < n; ++i) {
                wet[i] = static_cast<float>(right_.Step(samples[i] * scale * 0.75, reverbJitter_));
            }
        } else {
            for (std::int32_t j = 0; j < n / 2; ++j) {
                left[j] = static_cast<float>(left_.Step(samples[2 * j] * scale * 0.75, reverbJitter_));
                right[j] =
                    static_cast<float>(right_.Step(samples[2 * j + 1] * scale * 0.75, reverbJitter_));
            }
        }

        if (reverbJitter_) {
            right_.JitterOffset();
            if (stereo_) left_.JitterOffset();
        }
        if (pitchJitter_) {
            right_.JitterFactor();
            if (stereo_) left_.JitterFactor();
        }

        if (!stereo_) {
            RightPitchShifter().Process(right_.factor, n, kFrame, kOversampling, rate_, wet, wet);
        } else {
            RightPitchShifter().Process(right_.factor, n / 2, kFrame, kOversampling, rate_, right,
                                        right);
            LeftPitchShifter().Process(left_.factor, n / 2, kFrame, kOversampling, rate_, left, left);
            for (std::int32_t j = 0; j < n / 2; ++j) {
                wet[2 * j] = left[j];
                wet[2 * j + 1] = right[j];
            }
        }

        for (std::int32_t i = 0; i < n; ++i) {
            const std::int16_t w = Store(wet[i] * P_ * wetMix_ * 0.01);
            samples[i] = Store(w + samples[i] * dryMix_ * 0.01);
        }
    }

private:
    bool stereo_;
    double P_;
    float rate_;
    double wetMix_;
    double dryMix_;
    bool pitchJitter_;
    bool reverbJitter_;
    Chain right_;
    Chain left_;
    WorkingMemory wetMemory_;
    WorkingMemory rightMemory_;
    WorkingMemory leftMemory_;
};

}  // namespace

std::int32_t RunDeepenator(const TransformRecord& record, const EffectSettings& settings) {
    const DeepenatorSettings effect = settings.deepenator;
    const WorkingMix mix = settings.workingMix;
    return RunBlockLoop(record, "Applying Deepenator", [&](const RunFormat& format) {
        auto run = std::make_unique<DeepenatorRun>(format, effect, mix);
        if (!run->Obtain(format.sampleRate, effect)) return std::unique_ptr<DeepenatorRun>();
        return run;
    });
}

}  // namespace dsp
