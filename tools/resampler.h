// Sample-rate conversion of 16-bit interleaved audio, block by block, for
// outputs whose codec takes only some rates (Opus). A Kaiser-windowed sinc
// low-pass, centred on each output instant, so the output is not delayed:
// output frame n stands at input time n * fromRate / toRate.
#pragma once

#include <cstdint>
#include <vector>

namespace tovana {

class Resampler {
public:
    Resampler(int channels, int fromRate, int toRate);

    // Takes `frames` more input frames and appends to `out` the output
    // frames that no longer depend on input yet to come.
    void Push(const std::int16_t* samples, std::int64_t frames, std::vector<std::int16_t>* out);
    // Appends the rest, with silence after the end, so that the output holds
    // round(input frames * toRate / fromRate) frames in all.
    void Finish(std::vector<std::int16_t>* out);

private:
    void Produce(std::int64_t until, std::vector<std::int16_t>* out);
    const double* Taps(std::int64_t phase);

    int channels_;
    std::int64_t up_;    // toRate / gcd
    std::int64_t down_;  // fromRate / gcd
    int half_;           // taps on each side of the output instant
    double cutoff_;      // of the input's Nyquist frequency
    std::vector<double> table_;    // taps of every phase, when there are few phases
    std::vector<double> scratch_;  // taps of one phase otherwise
    std::vector<std::int16_t> history_;  // input frames from historyStart_ on
    std::int64_t historyStart_ = 0;
    std::int64_t received_ = 0;  // input frames so far
    std::int64_t produced_ = 0;  // output frames so far
};

}  // namespace tovana
