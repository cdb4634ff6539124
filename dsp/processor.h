// The streaming engine: one processor per effect, created from the effect's
// own settings block, the mix, the stream's format and a seed. It
// transforms whole 16-bit interleaved frames in place, any number per call.
//
// Inside, a processor keeps the editor's block cadence, counted from the
// first frame after creation or Restart: blocks of kBlockBytes, that is
// 8000 mono or 4000 stereo frames. Every per-block step of an effect (the
// Deepenator's jitter, the Communicator's aliasing parity) falls on the same
// frames as in one editor run, so the output does not depend on how a
// caller cuts the audio into calls: the same seed and the same audio give
// the same bytes as one editor run.
//
// Everything a processor needs is obtained when it is created; Process and
// Update allocate nothing, take no lock, do no I/O and read no clock. A
// processor is used by one thread at a time (Update and Process from the
// same thread, or never at the same time).
//
// This header and the static library ztdsp depend on nothing else of the
// project but the settings blocks of settings/effect_settings.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "settings/effect_settings.h"

namespace dsp {

// The editor's block: the unit of every per-block step.
constexpr std::uint32_t kBlockBytes = 16000;

struct StreamFormat {
    int channels;                      // 1 mono, anything else two interleaved channels, left first
    std::int32_t sampleRate;           // frames per second
    std::uint16_t bitsPerSample = 16;  // enters only the normalising factor 2^bits
};

struct MixLevels {
    double wet;  // percent, as "Wet Mix"
    double dry;  // percent, as "Dry Mix"
};

class Processor {
public:
    virtual ~Processor() = default;

    // Transforms frameCount whole frames in place. Real-time safe.
    virtual void Process(std::int16_t* frames, std::size_t frameCount) = 0;

    // New settings (the effect's block, as at creation) and mix, taken at the
    // start of the next Process call. What a new run derives from them is
    // derived again (filter designs, line lengths, pitch factors, gates);
    // the signal held in the effect is kept. Real-time safe: the block is
    // copied, the work is done by the next Process call and is bounded.
    virtual void Update(const void* effectBlock, const MixLevels& mix) = 0;

    // Back to the state of a new run with `seed` and the latest settings,
    // as after creation: held signal cleared, cadence restarted. For a
    // host's activate; not real-time (it clears every buffer) but it
    // allocates nothing.
    virtual void Restart(std::uint32_t seed) = 0;
};

// A processor for `effect`. `effectBlock` is that effect's settings struct
// (AlienatorSettings, CommunicatorSettings, DeepenatorSettings or
// CylonatorSettings); its own mix fields are not read, `mix` is.
//
// `largestBlock`, when given, is a block of the same struct holding the
// largest value each setting may take in later Updates (the maxima of the
// settings tables): delay lines are sized for it at the stream's rate. Null
// sizes them for `effectBlock`; an Update beyond what a line holds then gets
// the longest delay the line has room for.
//
// Null when memory cannot be had or `effect` is none of the four.
std::unique_ptr<Processor> CreateProcessor(EffectKind effect, const void* effectBlock,
                                           const MixLevels& mix, const StreamFormat& format,
                                           std::uint32_t seed, const void* largestBlock = nullptr);

}  // namespace dsp
