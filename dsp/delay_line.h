// A delay line of doubles whose write index moves downward.
//
// read(k) returns the value written L - k samples earlier (0 <= k < L) when
// it is followed by write(v), which stores v at the write index and moves
// the index down. The line is a ring with room for `capacity` values, of
// which the newest L make the line: a line made longer or shorter within
// its capacity keeps what was written into it, and with L equal to the
// capacity it is exactly a line of L samples wrapped once.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/working_memory.h"

namespace dsp {

class DelayLine {
public:
    // Samples needed for `ms` milliseconds at `rate`: ceil(rate * ms * 0.001)
    // + 1, so 0 ms gives a line of one sample. Lengths that would come out
    // below one (negative or undefined delays) are one; -1 means more than a
    // line can hold.
    static std::int64_t LengthFor(std::int32_t rate, double ms) {
        const double length = std::ceil(rate * ms * 0.001) + 1.0;
        if (!(length >= 1.0)) return 1;
        if (length > kMaxLength) return -1;
        return static_cast<std::int64_t>(length);
    }

    // Obtains a zero-filled line with room for `capacity` samples, that many
    // long; false when it cannot be had (or the capacity is out of range).
    bool Create(std::int64_t capacity, MemorySource& memory = HeapMemory()) {
        if (capacity < 1 || capacity > kMaxLength) return false;
        if (!memory_.Obtain(memory, static_cast<std::size_t>(capacity) * sizeof(double))) return false;
        data_ = memory_.as<double>();
        capacity_ = length_ = static_cast<std::int32_t>(capacity);
        Clear();
        return true;
    }

    std::int32_t capacity() const { return capacity_; }
    std::int32_t length() const { return length_; }

    // Another length, kept within 1 .. capacity (-1, too long for any line,
    // gives the capacity). The values written stay.
    void SetLength(std::int64_t length) {
        if (length < 0 || length > capacity_) length = capacity_;
        length_ = static_cast<std::int32_t>(length < 1 ? 1 : length);
    }

    // Zeroes every value, as when created.
    void Clear() {
        for (std::int32_t i = 0; i < capacity_; ++i) data_[i] = 0.0;
        index_ = 0;
    }

    double Read(std::int32_t offset) const {
        std::int32_t at = index_ + length_ - offset;
        if (at >= capacity_) at -= capacity_;
        return data_[at];
    }

    void Write(double value) {
        data_[index_] = value;
        if (--index_ < 0) index_ = capacity_ - 1;
    }

private:
    // 2^28 samples (2 GiB of doubles): far beyond any setting's reach.
    static constexpr double kMaxLength = 268435456.0;

    WorkingMemory memory_;
    double* data_ = nullptr;
    std::int32_t capacity_ = 0;
    std::int32_t length_ = 0;
    std::int32_t index_ = 0;
};

}  // namespace dsp
