#include "host/block_loop.h"

#include <new>

#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/random.h"

namespace host {
namespace {

class Global : public dsp::MemorySource {
public:
    dsp::MemoryBlock Obtain(std::size_t bytes) override {
        dsp::MemoryBlock block;
        platform::MemHandle handle = platform::GlobalAlloc(platform::kGmemMoveable, bytes);
        if (handle == nullptr) return block;
        void* data = platform::GlobalLock(handle);
        if (data == nullptr) {
            platform::GlobalFree(handle);
            return block;
        }
        block.data = data;
        block.handle = handle;
        return block;
    }
    void Release(const dsp::MemoryBlock& block) override {
        platform::GlobalUnlock(block.handle);
        platform::GlobalFree(block.handle);
    }
};

// Bytes of the selection. A last frame below firstFrame - 1 is treated as an
// empty selection instead of letting the count wrap to billions of bytes.
std::uint32_t SelectionBytes(const TransformRecord& record) {
    std::int64_t frames =
        static_cast<std::int64_t>(record.lastFrame) - record.firstFrame + 1;
    if (frames <= 0) return 0;
    return static_cast<std::uint32_t>(frames) * record.bytesPerFrame;
}

}  // namespace

dsp::MemorySource& GlobalMemory() {
    static Global global;
    return global;
}

std::int32_t RunBlockLoop(const TransformRecord& record, const char* statusText,
                          const PrepareRun& prepare) {
    const dsp::StreamFormat format{record.channels, record.sampleRate, record.bitsPerSample};
    const bool stereo = record.channels != 1;

    dsp::WorkingMemory sampleBuffer;
    if (!sampleBuffer.Obtain(GlobalMemory(), kSampleBufferBytes)) return 1;
    std::unique_ptr<EffectRun> run;
    try {
        run = prepare(format);
    } catch (const std::bad_alloc&) {
        run = nullptr;
    }
    if (!run) return 1;

    if (record.showStatus != nullptr) record.showStatus(statusText, 0);
    platform::SeedRandom(platform::RunSeed());
    run->Start();

    const std::uint32_t total = SelectionBytes(record);
    std::uint32_t remaining = total;
    std::uint32_t position =
        static_cast<std::uint32_t>(record.firstFrame) * record.bytesPerFrame;
    auto* samples = sampleBuffer.as<std::int16_t>();
    while (remaining != 0) {
        const std::uint32_t byteCount = remaining < dsp::kBlockBytes ? remaining : dsp::kBlockBytes;
        remaining -= byteCount;
        record.readBlock(samples, position, byteCount);
        std::uint32_t count = byteCount / 2;
        if (stereo) count &= ~1u;  // a stray half frame stays as read
        run->ProcessBlock(samples, count);
        record.writeBlock(samples, position, byteCount);
        position += byteCount;
        if (record.reportProgress != nullptr) record.reportProgress(total - remaining, total);
        if (record.cancelFlag != nullptr && *record.cancelFlag != 0) break;
    }

    if (record.endProcessing != nullptr) {
        record.endProcessing(const_cast<TransformRecord*>(&record));
    }
    return 0;
}

}  // namespace host
