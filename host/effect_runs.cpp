#include "host/effect_runs.h"

#include <memory>
#include <utility>

#include "dsp/pitch_shifter.h"
#include "dsp/stream_processor.h"
#include "host/block_loop.h"
#include "platform/random.h"
#include "settings/setting_tables.h"

namespace host {
namespace {

dsp::PitchShifter theRight;
dsp::PitchShifter theLeft;

// One of the engine's processors as a run of the editor. The run's random
// generator is the thread's: the processor borrows its state for each block
// and hands it back, so the thread draws the very sequence it always did.
class ProcessorRun : public EffectRun {
public:
    ProcessorRun(std::unique_ptr<dsp::StreamProcessor> processor, bool stereo)
        : processor_(std::move(processor)), channels_(stereo ? 2 : 1) {}

    void Start() override {
        processor_->Restart(platform::RandomState());
        platform::SeedRandom(processor_->Generator().State());
    }

    void ProcessBlock(std::int16_t* samples, std::uint32_t count) override {
        processor_->Generator().Seed(platform::RandomState());
        processor_->Process(samples, count / channels_);
        platform::SeedRandom(processor_->Generator().State());
    }

private:
    std::unique_ptr<dsp::StreamProcessor> processor_;
    const std::uint32_t channels_;
};

std::int32_t Run(const EffectTable& effect, const TransformRecord& record, const EffectSettings& settings) {
    const void* block = reinterpret_cast<const unsigned char*>(&settings) + effect.blockOffset;
    const dsp::MixLevels mix{settings.workingMix.wetMix, settings.workingMix.dryMix};
    return RunBlockLoop(record, effect.statusText,
                        [&](const dsp::StreamFormat& format) -> std::unique_ptr<EffectRun> {
                            dsp::ProcessorResources resources;
                            resources.memory = &GlobalMemory();
                            resources.rightShifter = &theRight;
                            resources.leftShifter = &theLeft;
                            // Seeded when the run starts.
                            auto processor = dsp::CreateStreamProcessor(effect.processor, block, mix, format,
                                                                        0, nullptr, resources);
                            if (!processor) return nullptr;
                            return std::make_unique<ProcessorRun>(std::move(processor),
                                                                  format.channels != 1);
                        });
}

}  // namespace

std::int32_t RunEffect(EffectKind effect, const TransformRecord& record, const EffectSettings& settings) {
    return Run(TableOf(effect), record, settings);
}

std::int32_t RunActiveEffect(const TransformRecord& record, const EffectSettings& settings) {
    const EffectTable* effect = FindEffect(settings.activeEffect);
    return effect != nullptr ? Run(*effect, record, settings) : 0;
}

dsp::PitchShifter& RightPitchShifter() { return theRight; }
dsp::PitchShifter& LeftPitchShifter() { return theLeft; }

namespace testing {
void ResetPitchShifters() {
    theRight.Forget();
    theLeft.Forget();
}
}  // namespace testing

}  // namespace host
