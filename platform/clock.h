// The clock that seeds every processing run.
//
// A run seeds the random generator with the current time in seconds. One
// seam fixes that seed for the whole process, so that the same input gives
// the same bytes: FixRunSeed() from code, or the environment variable
// TOVANA_SEED (a decimal number) for a host that only loads the plug-in.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

constexpr const char* kSeedEnvironmentVariable = "TOVANA_SEED";

// The seed for a run starting now: the fixed seed if one is set, otherwise
// the time in seconds.
std::uint32_t RunSeed();

// Fix (or with nullopt release) the seed for every later run of the process.
void FixRunSeed(std::optional<std::uint32_t> seed);

}  // namespace platform
