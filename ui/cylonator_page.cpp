#include "ui/cylonator_page.h"

namespace {

PageLayout Layout() {
    using C = CCylonator;
    PageLayout layout;
    layout.kind = EffectKind::Cylonator;
    layout.sliders = {C::kFreqSlider, C::kPitchLeftSlider, C::kPitchRightSlider,
                      C::kAmplitudeRightSlider, C::kAmplitudeLeftSlider};
    layout.mirrored = layout.sliders;
    layout.mirrored.insert(layout.mirrored.end(), {C::kNoiseLeftBox, C::kNoiseRightBox});
    layout.committed = layout.mirrored;
    return layout;
}

}  // namespace

CCylonator::CCylonator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CCylonator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowCheck(kNoiseLeftBox, block);
    EnableControls({kPitchLeftSlider, kPitchLeftEdit}, ValueOf(block, kNoiseLeftBox) == 0.0);
    ShowCheck(kNoiseRightBox, block);
    EnableControls({kPitchRightSlider, kPitchRightEdit}, ValueOf(block, kNoiseRightBox) == 0.0);
    ShowEdits({kFreqSlider, kPitchLeftSlider, kPitchRightSlider, kAmplitudeRightSlider,
               kAmplitudeLeftSlider},
              block);
}

bool CCylonator::OnCheckBoxClicked(int box) {
    if (box != kNoiseLeftBox && box != kNoiseRightBox) return false;
    const bool checked = Item<CButton>(box).GetCheck() != 0;
    if (box == kNoiseLeftBox) {
        EnableControls({kPitchLeftSlider, kPitchLeftEdit}, !checked);
    } else {
        EnableControls({kPitchRightSlider, kPitchRightEdit}, !checked);
    }
    return true;
}
