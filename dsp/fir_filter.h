// The Communicator's 81-tap band-pass filters: the design of a windowed
// ideal band-pass, and a filter that sums its taps from the oldest input to
// the newest, so that every output has one fixed order of additions.
#pragma once

#include <cstddef>

namespace dsp {

constexpr int kFirTaps = 81;
constexpr int kFirHistory = kFirTaps - 1;  // previous inputs a filter keeps

// Windowed ideal band-pass between `lower` and `upper` Hz at `rate` frames
// per second (Hamming window), h[0..80], centre tap h[40]. With lower above
// upper it is the same band with inverted sign; with equal edges all zeros.
void BandPassDesign(float lower, float upper, float rate, double* h);

// One output: sum of h[k] * x[n - k] for k = 80 down to 0, where `window`
// holds x[n - 80] ... x[n], oldest first.
inline double FirSum(const double* h, const double* window) {
    double sum = 0.0;
    for (int k = kFirTaps - 1; k >= 0; --k) sum += h[k] * window[kFirTaps - 1 - k];
    return sum;
}

// FirSum for `count` consecutive outputs: out[j] = FirSum(h, inputs + j).
// `inputs` holds count + 80 values. Several outputs are summed side by side
// (with AVX2 where dsp/cpu_features.h allows it), each in its own fixed order, so
// the results are exactly those of FirSum.
void FirSums(const double* h, const double* inputs, double* out, std::size_t count);

// FirSums without processor-specific code: what it falls back to.
void FirSumsPortable(const double* h, const double* inputs, double* out, std::size_t count);

// A filter's input history in caller-supplied storage (kStorageDoubles
// doubles, zero history at the start): inputs are appended to a linear
// buffer that slides its last 80 values back to the front when full.
class FirFilter {
public:
    static constexpr std::size_t kBlockCapacity = 8192;  // most inputs appended at once
    static constexpr std::size_t kStorageDoubles = kFirHistory + 2 * kBlockCapacity;

    explicit FirFilter(double* storage);

    // Appends one input and returns the output for it.
    double Filter(double input, const double* h);

    // Appends `count` inputs (at most kBlockCapacity) and writes their
    // outputs: the same values as `count` calls of Filter.
    void FilterBlock(const double* inputs, double* out, std::size_t count, const double* h);

    // Outputs put off: Append adds an input without summing, and
    // OutputsSince then writes the outputs of every input appended after
    // `mark` (a value of Mark()), in order, with the taps `h`: the values
    // Filter would have given with them. MakeRoom(count) before appending
    // count inputs; a mark holds until the next MakeRoom, Filter or
    // FilterBlock.
    void MakeRoom(std::size_t count) { Reserve(count); }
    std::size_t Mark() const { return end_; }
    void Append(double input) { storage_[end_++] = input; }
    // The inputs appended since `mark`, to be changed before OutputsSince.
    double* InputsSince(std::size_t mark) { return storage_ + mark; }
    std::size_t OutputsSince(std::size_t mark, double* out, const double* h) const;

private:
    // Makes room for `count` more inputs after the last 80.
    void Reserve(std::size_t count);

    double* storage_;
    std::size_t end_;  // one past the newest input; the history is [end_ - 80, end_)
};

}  // namespace dsp
