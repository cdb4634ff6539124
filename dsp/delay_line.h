// A delay line of doubles whose write index moves downward.
//
// read(k) returns the value at (write index - k), wrapped once; write(v)
// stores v at the write index and moves the index down, from 0 to L - 1.
// A read with offset k (0 <= k < L) followed by a write therefore returns
// the value written L - k samples earlier.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/frame.h"

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

    // Obtains a zero-filled line of `length` samples; false when it cannot
    // be had (or the length is out of range).
    bool Create(std::int64_t length) {
        if (length < 1 || length > kMaxLength) return false;
        if (!memory_.Obtain(static_cast<std::size_t>(length) * sizeof(double))) return false;
        data_ = memory_.as<double>();
        length_ = static_cast<std::int32_t>(length);
        for (std::int32_t i = 0; i < length_; ++i) data_[i] = 0.0;
        index_ = 0;
        return true;
    }

    std::int32_t length() const { return length_; }

    double Read(std::int32_t offset) const {
        std::int32_t at = index_ - offset;
        if (at < 0) at += length_;
        return data_[at];
    }

    void Write(double value) {
        data_[index_] = value;
        if (--index_ < 0) index_ = length_ - 1;
    }

private:
    // 2^28 samples (2 GiB of doubles): far beyond any setting's reach.
    static constexpr double kMaxLength = 268435456.0;

    WorkingMemory memory_;
    double* data_ = nullptr;
    std::int32_t length_ = 0;
    std::int32_t index_ = 0;
};

}  // namespace dsp
