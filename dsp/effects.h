// The processing routine of each effect, and XfmDo's dispatch among them.
// Each returns 0 after its run (finished or cancelled) and 1 when its
// working memory cannot be obtained.
#pragma once

#include <cstdint>

#include "host/records.h"
#include "settings/effect_settings.h"

namespace dsp {

std::int32_t RunAlienator(const TransformRecord& record, const EffectSettings& settings);
std::int32_t RunCommunicator(const TransformRecord& record, const EffectSettings& settings);
std::int32_t RunDeepenator(const TransformRecord& record, const EffectSettings& settings);
std::int32_t RunCylonator(const TransformRecord& record, const EffectSettings& settings);

// Runs the routine of settings.activeEffect; an index outside 0..3 calls
// nothing and returns 0.
std::int32_t RunActiveEffect(const TransformRecord& record, const EffectSettings& settings);

}  // namespace dsp
