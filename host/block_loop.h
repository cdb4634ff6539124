// The editor's frame around the engine: the block loop over the selection.
//
// A run obtains its memory, announces itself through the editor's status
// text, seeds the random generator from the clock, then walks the selection
// in blocks of at most 16000 bytes: read, transform in place, write, report
// progress, look at the cancel flag. Each effect supplies an EffectRun that
// holds its state for one run and transforms one block at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "dsp/processor.h"
#include "dsp/working_memory.h"
#include "host/records.h"

namespace host {

constexpr std::size_t kSampleBufferBytes = 65000;

// State of one effect for one run.
class EffectRun {
public:
    virtual ~EffectRun() = default;
    // After the random generator has been seeded, before the first block.
    virtual void Start() {}
    // Transforms `count` interleaved samples in place, the mix with the
    // untouched input and any whole-block step included. In stereo `count`
    // is even: whole frames only.
    virtual void ProcessBlock(std::int16_t* samples, std::uint32_t count) = 0;
};

// The editor's movable global memory, each block allocated and locked.
dsp::MemorySource& GlobalMemory();

// Obtains every allocation of the effect's run (before any callback) and
// returns it, or null when memory cannot be had. May also throw
// std::bad_alloc, which counts the same.
using PrepareRun = std::function<std::unique_ptr<EffectRun>(const dsp::StreamFormat&)>;

// 0 after the run (finished or cancelled), 1 when memory cannot be obtained;
// then no callback has been called.
std::int32_t RunBlockLoop(const TransformRecord& record, const char* statusText,
                          const PrepareRun& prepare);

}  // namespace host
