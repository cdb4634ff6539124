#include "ui/deepenator_page.h"

namespace {

PageLayout Layout() {
    using C = CDeepenator;
    PageLayout layout;
    layout.kind = EffectKind::Deepenator;
    layout.sliders = {C::kReverbDelayLeftSlider,  C::kReverbPowerLeftSlider,
                      C::kCombDelayLeftSlider,    C::kPitchScaleLeftSlider,
                      C::kReverbDelayRightSlider, C::kReverbPowerRightSlider,
                      C::kCombDelayRightSlider,   C::kPitchScaleRightSlider};
    layout.mirrored = layout.sliders;
    layout.mirrored.insert(layout.mirrored.end(), {C::kRandomPitchBox, C::kRandomDelayBox});
    layout.committed = layout.mirrored;
    return layout;
}

}  // namespace

CDeepenator::CDeepenator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CDeepenator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowCheck(kRandomPitchBox, block);
    ShowCheck(kRandomDelayBox, block);
    ShowEdits({kReverbDelayLeftSlider, kReverbPowerLeftSlider, kCombDelayLeftSlider,
               kPitchScaleLeftSlider, kReverbDelayRightSlider, kReverbPowerRightSlider,
               kCombDelayRightSlider, kPitchScaleRightSlider},
              block);
}
