// The block loop shared by the four effects.
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

#include "host/records.h"
#include "platform/memory.h"

namespace dsp {

constexpr std::size_t kSampleBufferBytes = 65000;
constexpr std::uint32_t kMaxBlockBytes = 16000;

// Truncates toward zero and keeps the low 16 bits: nothing saturates.
// A value that is not finite or lies beyond the 64-bit range gives 0.
std::int16_t Store(double value);

// P = 2^bitsPerSample: s = x / P maps 16-bit full scale to about +-0.5.
double NormalisingFactor(std::uint16_t bitsPerSample);

struct RunFormat {
    bool stereo;             // channels != 1: interleaved frames, left first
    double P;                // normalising factor
    std::int32_t sampleRate; // frames per second
};

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

// A locked movable block of global memory owned by one run.
class WorkingMemory {
public:
    WorkingMemory() = default;
    WorkingMemory(const WorkingMemory&) = delete;
    WorkingMemory& operator=(const WorkingMemory&) = delete;
    ~WorkingMemory();

    // False when the allocation or the lock fails; nothing is kept then.
    bool Obtain(std::size_t bytes);
    void* data() const { return data_; }
    template <class T>
    T* as() const { return static_cast<T*>(data_); }

private:
    platform::MemHandle handle_ = nullptr;
    void* data_ = nullptr;
};

// Obtains every allocation of the effect's run (before any callback) and
// returns it, or null when memory cannot be had. May also throw
// std::bad_alloc, which counts the same.
using PrepareRun = std::function<std::unique_ptr<EffectRun>(const RunFormat&)>;

// 0 after the run (finished or cancelled), 1 when memory cannot be obtained;
// then no callback has been called.
std::int32_t RunBlockLoop(const TransformRecord& record, const char* statusText,
                          const PrepareRun& prepare);

}  // namespace dsp
