// The C runtime's linear congruential generator, kept here so that every
// build draws exactly the same sequence: state = state * 214013 + 2531011
// (mod 2^32), result = bits 16 to 30 of the new state (0 to 32767).
// The state belongs to the calling thread and starts at 1, as the runtime's.
#pragma once

#include <cstdint>

namespace platform {

constexpr int kRandMax = 32767;

void SeedRandom(std::uint32_t seed);  // srand
int Random();                         // rand

// The calling thread's state: SeedRandom(RandomState()) continues the same
// sequence, so a loop that draws many values can run the generator locally
// and hand the state back.
std::uint32_t RandomState();

}  // namespace platform
