// A second, deliberately plain reading of the four effects' signal
// processing, written without the production code, for the cross-check
// test. Each function processes a whole selection of interleaved 16-bit
// samples as a run would: the random generator seeded with `seed`, blocks
// of at most 16000 bytes, the mix with the working mix's percentages.
// Nothing here is optimised; every value is computed in the order and
// precision the effect's description gives.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "settings/effect_settings.h"

namespace plainref {

using Samples = std::vector<std::int16_t>;

Samples Alienator(const Samples& in, int channels, int rate, const AlienatorSettings& s,
                  const WorkingMix& mix, std::uint32_t seed);

Samples Communicator(const Samples& in, int channels, int rate, const CommunicatorSettings& s,
                     const WorkingMix& mix, std::uint32_t seed);

// The Deepenator's two pitch shifters outlive a run; the caller keeps them.
struct ShifterPair;
struct ShifterPairDeleter {
    void operator()(ShifterPair* p) const;
};
using Shifters = std::unique_ptr<ShifterPair, ShifterPairDeleter>;
Shifters NewShifters();  // both never used yet

Samples Deepenator(const Samples& in, int channels, int rate, const DeepenatorSettings& s,
                   const WorkingMix& mix, std::uint32_t seed, ShifterPair& shifters);

Samples Cylonator(const Samples& in, int channels, int rate, const CylonatorSettings& s,
                  const WorkingMix& mix, std::uint32_t seed);

}  // namespace plainref
