#include "dsp/frame.h"

#include <cmath>
#include <new>

#include "platform/clock.h"
#include "platform/random.h"

namespace dsp {

std::int16_t Store(double value) {
    // 2^63: the first magnitude outside the signed 64-bit range.
    constexpr double kLimit = 9223372036854775808.0;
    if (!std::isfinite(value) || value >= kLimit || value < -kLimit) return 0;
    auto whole = static_cast<std::int64_t>(value);  // truncates toward zero
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(whole & 0xFFFF));
}

double NormalisingFactor(std::uint16_t bitsPerSample) { return std::ldexp(1.0, bitsPerSample); }

WorkingMemory::~WorkingMemory() {
    if (handle_ == nullptr) return;
    if (data_ != nullptr) platform::GlobalUnlock(handle_);
    platform::GlobalFree(handle_);
}

bool WorkingMemory::Obtain(std::size_t bytes) {
    handle_ = platform::GlobalAlloc(platform::kGmemMoveable, bytes);
    if (handle_ == nullptr) return false;
    data_ = platform::GlobalLock(handle_);
    if (data_ == nullptr) {
        platform::GlobalFree(handle_);
        handle_ = nullptr;
        return false;
    }
    return true;
}

namespace {

// Bytes of the selection. A last frame below firstFrame - 1 is treated as an
// empty selection instead of letting the count wrap to billions of bytes.
std::uint32_t SelectionBytes(const TransformRecord& record) {
    std::int64_t frames =
        static_cast<std::int64_t>(record.lastFrame) - record.firstFrame + 1;
    if (frames <= 0) return 0;
    return static_cast<std::uint32_t>(frames) * record.bytesPerFrame;
}

}  // namespace

std::int32_t RunBlockLoop(const TransformRecord& record, const char* statusText,
                          const PrepareRun& prepare) {
    const RunFormat format{record.channels != 1, NormalisingFactor(record.bitsPerSample),
                           record.sampleRate};

    WorkingMemory sampleBuffer;
    if (!sampleBuffer.Obtain(kSampleBufferBytes)) return 1;
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
        const std::uint32_t byteCount = remaining < kMaxBlockBytes ? remaining : kMaxBlockBytes;
        remaining -= byteCount;
        record.readBlock(samples, position, byteCount);
        std::uint32_t count = byteCount / 2;
        if (format.stereo) count &= ~1u;  // a stray half frame stays as read
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

}  // namespace dsp
