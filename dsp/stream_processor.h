// What the four processors share: the editor's block cadence, the pending
// update, the run's random generator; and the factory with the choices the
// editor's frame makes (its own memory source, the Deepenator's shifters).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "dsp/processor.h"
#include "dsp/random_generator.h"
#include "dsp/working_memory.h"

namespace dsp {

class PitchShifter;

struct RunFormat {
    bool stereo;              // channels != 1: interleaved frames, left first
    double P;                 // normalising factor
    std::int32_t sampleRate;  // frames per second
};

class StreamProcessor : public Processor {
public:
    // Splits the frames at the block boundaries; a block's first frame
    // comes with its whole-block step.
    void Process(std::int16_t* frames, std::size_t frameCount) final;
    void Restart(std::uint32_t seed) final;

    // The run's generator. The editor's frame lends it the thread's state
    // for each block and takes it back after.
    RandomGenerator& Generator() { return random_; }

protected:
    StreamProcessor(const RunFormat& format, std::uint32_t seed);

    // Takes a pending Update, if there is one.
    virtual void TakePending() = 0;
    // The state of a new run with the current settings; the generator has
    // just been seeded.
    virtual void Clear() = 0;
    // The first frame of a block is next.
    virtual void BeginBlock() {}
    // Transforms `frames` frames, all inside the current block.
    virtual void ProcessSpan(std::int16_t* samples, std::uint32_t frames) = 0;

    // The frame of the current block that the next span starts with.
    std::uint32_t BlockPosition() const { return blockPosition_; }

    const RunFormat format_;
    const int channels_;
    RandomGenerator random_;

private:
    const std::uint32_t blockFrames_;
    std::uint32_t blockPosition_ = 0;
};

// The pending update of one effect's block, copied as it comes.
template <class Settings>
class EffectProcessor : public StreamProcessor {
public:
    void Update(const void* effectBlock, const MixLevels& mix) final {
        std::memcpy(&pending_, effectBlock, sizeof(Settings));
        pendingMix_ = mix;
        hasPending_ = true;
    }

protected:
    using StreamProcessor::StreamProcessor;

    // New settings mid-stream: derive again what depends on them, keep the
    // signal held.
    virtual void Take(const Settings& settings, const MixLevels& mix) = 0;

private:
    void TakePending() final {
        if (!hasPending_) return;
        hasPending_ = false;
        Take(pending_, pendingMix_);
    }

    Settings pending_{};
    MixLevels pendingMix_{};
    bool hasPending_ = false;
};

// Where a processor's resources come from.
struct ProcessorResources {
    MemorySource* memory = &HeapMemory();
    // The Deepenator's shifters, right (mono and right channel) and left;
    // null: it has its own, cleared by Restart. Borrowed ones keep their
    // stream across Restart, as the editor's do across runs.
    PitchShifter* rightShifter = nullptr;
    PitchShifter* leftShifter = nullptr;
};

// One effect's processor from its own settings block, with CreateProcessor's
// contract; `largestBlock` is never null here.
using ProcessorFactory = std::unique_ptr<StreamProcessor> (*)(const void* effectBlock, const void* largestBlock,
                                                              const MixLevels& mix, const RunFormat& format,
                                                              std::uint32_t seed,
                                                              const ProcessorResources& resources);
std::unique_ptr<StreamProcessor> MakeAlienator(const void*, const void*, const MixLevels&, const RunFormat&,
                                               std::uint32_t, const ProcessorResources&);
std::unique_ptr<StreamProcessor> MakeCommunicator(const void*, const void*, const MixLevels&, const RunFormat&,
                                                  std::uint32_t, const ProcessorResources&);
std::unique_ptr<StreamProcessor> MakeDeepenator(const void*, const void*, const MixLevels&, const RunFormat&,
                                                std::uint32_t, const ProcessorResources&);
std::unique_ptr<StreamProcessor> MakeCylonator(const void*, const void*, const MixLevels&, const RunFormat&,
                                               std::uint32_t, const ProcessorResources&);

// CreateProcessor with the factory and the resources chosen; null when
// memory cannot be had (std::bad_alloc may be thrown as well).
std::unique_ptr<StreamProcessor> CreateStreamProcessor(ProcessorFactory factory, const void* effectBlock,
                                                       const MixLevels& mix, const StreamFormat& format,
                                                       std::uint32_t seed, const void* largestBlock,
                                                       const ProcessorResources& resources);
// The same by the effect, for clients that link the engine alone; null for
// an unknown effect too.
std::unique_ptr<StreamProcessor> CreateStreamProcessor(EffectKind effect, const void* effectBlock,
                                                       const MixLevels& mix, const StreamFormat& format,
                                                       std::uint32_t seed, const void* largestBlock,
                                                       const ProcessorResources& resources);

// Each effect's factory, with the same contract.
std::unique_ptr<StreamProcessor> CreateAlienator(const AlienatorSettings& settings, const MixLevels& mix,
                                                 const RunFormat& format, std::uint32_t seed);
std::unique_ptr<StreamProcessor> CreateCommunicator(const CommunicatorSettings& settings,
                                                    const MixLevels& mix, const RunFormat& format,
                                                    std::uint32_t seed, MemorySource& memory);
std::unique_ptr<StreamProcessor> CreateDeepenator(const DeepenatorSettings& settings, const MixLevels& mix,
                                                  const RunFormat& format, std::uint32_t seed,
                                                  const DeepenatorSettings& largest,
                                                  const ProcessorResources& resources);
std::unique_ptr<StreamProcessor> CreateCylonator(const CylonatorSettings& settings, const MixLevels& mix,
                                                 const RunFormat& format, std::uint32_t seed,
                                                 MemorySource& memory);

}  // namespace dsp
