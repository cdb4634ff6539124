// Deepenator: its per-sample processing arrives with its own change; until then
// a run walks the selection and leaves every sample as it was.
#include "dsp/effects.h"
#include "dsp/frame.h"

namespace dsp {
namespace {

class PassThroughRun : public EffectRun {
public:
    void ProcessBlock(std::int16_t*, std::uint32_t) override {}
};

}  // namespace

std::int32_t RunDeepenator(const TransformRecord& record, const EffectSettings&) {
    return RunBlockLoop(record, "Applying Deepenator",
                        [](const RunFormat&) { return std::make_unique<PassThroughRun>(); });
}

}  // namespace dsp
