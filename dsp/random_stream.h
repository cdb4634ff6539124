// The run's random generator as a local value, for loops that draw many
// values: it takes the thread's state when made and hands it back when it
// goes, so the run draws exactly the sequence that Random() calls would.
#pragma once

#include <cstdint>

#include "platform/random.h"

namespace dsp {

// n steps of the generator, x -> x * 214013 + 2531011 (mod 2^32), composed
// into one step x -> x * multiplier + increment.
struct RandomJump {
    std::uint32_t multiplier;
    std::uint32_t increment;
};

constexpr RandomJump ComposeRandomSteps(int n) {
    RandomJump jump{1u, 0u};
    for (int i = 0; i < n; ++i) {
        jump.multiplier = jump.multiplier * 214013u;
        jump.increment = jump.increment * 214013u + 2531011u;
    }
    return jump;
}

class RandomStream {
public:
    RandomStream() : state_(platform::RandomState()) {}
    ~RandomStream() { platform::SeedRandom(state_); }
    RandomStream(const RandomStream&) = delete;
    RandomStream& operator=(const RandomStream&) = delete;

    // The next rand() value, 0 to 32767.
    int operator()() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fffu);
    }

    // Passes over twelve values in one step (a GaussianNoise whose value is
    // not needed).
    void SkipTwelve() {
        constexpr RandomJump kTwelve = ComposeRandomSteps(12);
        state_ = state_ * kTwelve.multiplier + kTwelve.increment;
    }

private:
    std::uint32_t state_;
};

}  // namespace dsp
