// The processing routine of each effect, and XfmDo's dispatch among them:
// the editor's block loop driving one of the engine's processors. Each
// returns 0 after its run (finished or cancelled) and 1 when its working
// memory cannot be obtained.
#pragma once

#include <cstdint>

#include "host/records.h"
#include "settings/effect_settings.h"

namespace dsp {
class PitchShifter;
}

namespace host {

// Runs the routine of `effect` with its block of `settings` and the
// working mix, showing its status text.
std::int32_t RunEffect(EffectKind effect, const TransformRecord& record, const EffectSettings& settings);

// Runs the routine of settings.activeEffect; an index that names no effect
// calls nothing and returns 0.
std::int32_t RunActiveEffect(const TransformRecord& record, const EffectSettings& settings);

// The Deepenator's two process-wide pitch shifters: the right one serves
// mono selections and the right channel of stereo ones, the left one the
// left channel. Their stream goes on from one run to the next; they live as
// long as the library, and runs must not overlap.
dsp::PitchShifter& RightPitchShifter();
dsp::PitchShifter& LeftPitchShifter();

namespace testing {
// Returns both shifters to their never-used state.
void ResetPitchShifters();
}  // namespace testing

}  // namespace host
