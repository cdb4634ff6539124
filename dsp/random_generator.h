// The run's random generator: the C runtime's linear congruential one,
// x -> x * 214013 + 2531011 (mod 2^32), each value bits 16 to 30 of the new
// state (0 to 32767). Every processor owns one, seeded at creation and on
// Restart, so that the same seed gives the same sequence on every build.
#pragma once

#include <cstdint>

namespace dsp {

constexpr int kRandMax = 32767;

// n steps of the generator composed into one step
// x -> x * multiplier + increment.
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

class RandomGenerator {
public:
    explicit RandomGenerator(std::uint32_t seed = 1) : state_(seed) {}

    // srand: the sequence that follows is that of the seed.
    void Seed(std::uint32_t seed) { state_ = seed; }
    // The state itself: Seed(State()) continues the same sequence.
    std::uint32_t State() const { return state_; }

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
