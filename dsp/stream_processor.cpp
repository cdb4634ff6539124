#include "dsp/stream_processor.h"

#include <new>

#include "dsp/signal_helpers.h"

namespace dsp {

StreamProcessor::StreamProcessor(const RunFormat& format, std::uint32_t seed)
    : format_(format),
      channels_(format.stereo ? 2 : 1),
      random_(seed),
      blockFrames_(kBlockBytes / 2 / (format.stereo ? 2 : 1)) {}

void StreamProcessor::Process(std::int16_t* frames, std::size_t frameCount) {
    TakePending();
    while (frameCount != 0) {
        if (blockPosition_ == 0) BeginBlock();
        const std::uint32_t room = blockFrames_ - blockPosition_;
        const std::uint32_t n = frameCount < room ? static_cast<std::uint32_t>(frameCount) : room;
        ProcessSpan(frames, n);
        frames += static_cast<std::size_t>(n) * channels_;
        frameCount -= n;
        blockPosition_ += n;
        if (blockPosition_ == blockFrames_) blockPosition_ = 0;
    }
}

void StreamProcessor::Restart(std::uint32_t seed) {
    TakePending();
    random_.Seed(seed);
    blockPosition_ = 0;
    Clear();
}

std::unique_ptr<StreamProcessor> MakeAlienator(const void* block, const void*, const MixLevels& mix,
                                               const RunFormat& run, std::uint32_t seed, const ProcessorResources&) {
    return CreateAlienator(*static_cast<const AlienatorSettings*>(block), mix, run, seed);
}

std::unique_ptr<StreamProcessor> MakeCommunicator(const void* block, const void*, const MixLevels& mix,
                                                  const RunFormat& run, std::uint32_t seed,
                                                  const ProcessorResources& resources) {
    return CreateCommunicator(*static_cast<const CommunicatorSettings*>(block), mix, run, seed, *resources.memory);
}

std::unique_ptr<StreamProcessor> MakeDeepenator(const void* block, const void* largest, const MixLevels& mix,
                                                const RunFormat& run, std::uint32_t seed,
                                                const ProcessorResources& resources) {
    return CreateDeepenator(*static_cast<const DeepenatorSettings*>(block), mix, run, seed,
                            *static_cast<const DeepenatorSettings*>(largest), resources);
}

std::unique_ptr<StreamProcessor> MakeCylonator(const void* block, const void*, const MixLevels& mix,
                                               const RunFormat& run, std::uint32_t seed,
                                               const ProcessorResources& resources) {
    return CreateCylonator(*static_cast<const CylonatorSettings*>(block), mix, run, seed, *resources.memory);
}

std::unique_ptr<StreamProcessor> CreateStreamProcessor(ProcessorFactory factory, const void* effectBlock,
                                                       const MixLevels& mix, const StreamFormat& format,
                                                       std::uint32_t seed, const void* largestBlock,
                                                       const ProcessorResources& resources) {
    const RunFormat run{format.channels != 1, NormalisingFactor(format.bitsPerSample), format.sampleRate};
    const void* largest = largestBlock != nullptr ? largestBlock : effectBlock;
    return factory(effectBlock, largest, mix, run, seed, resources);
}

std::unique_ptr<StreamProcessor> CreateStreamProcessor(EffectKind effect, const void* effectBlock,
                                                       const MixLevels& mix, const StreamFormat& format,
                                                       std::uint32_t seed, const void* largestBlock,
                                                       const ProcessorResources& resources) {
    ProcessorFactory factory = nullptr;
    switch (effect) {
        case EffectKind::Alienator: factory = MakeAlienator; break;
        case EffectKind::Communicator: factory = MakeCommunicator; break;
        case EffectKind::Deepenator: factory = MakeDeepenator; break;
        case EffectKind::Cylonator: factory = MakeCylonator; break;
    }
    if (factory == nullptr) return nullptr;
    return CreateStreamProcessor(factory, effectBlock, mix, format, seed, largestBlock, resources);
}

std::unique_ptr<Processor> CreateProcessor(EffectKind effect, const void* effectBlock,
                                           const MixLevels& mix, const StreamFormat& format,
                                           std::uint32_t seed, const void* largestBlock) {
    try {
        return CreateStreamProcessor(effect, effectBlock, mix, format, seed, largestBlock,
                                     ProcessorResources{});
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace dsp
