#include "dsp/effects.h"

namespace dsp {

std::int32_t RunActiveEffect(const TransformRecord& record, const EffectSettings& settings) {
    switch (settings.activeEffect) {
        case static_cast<std::int32_t>(EffectKind::Alienator): return RunAlienator(record, settings);
        case static_cast<std::int32_t>(EffectKind::Communicator):
            return RunCommunicator(record, settings);
        case static_cast<std::int32_t>(EffectKind::Deepenator): return RunDeepenator(record, settings);
        case static_cast<std::int32_t>(EffectKind::Cylonator): return RunCylonator(record, settings);
        default: return 0;
    }
}

}  // namespace dsp
