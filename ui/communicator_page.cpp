#include "ui/communicator_page.h"

namespace {

PageLayout Layout() {
    using C = CCommunicator;
    PageLayout layout;
    layout.kind = EffectKind::Communicator;
    layout.sliders = {C::kFullnessSlider, C::kFrequencySlider, C::kSensitivitySlider,
                      C::kDurationSlider, C::kSquelchSlider, C::kChangingStaticSlider};
    layout.mirrored = layout.sliders;
    layout.mirrored.insert(layout.mirrored.end(), {C::kVariationBox, C::kRandomBreakupBox,
                                                   C::kRandomAmplitudeBox, C::kVoiceBleedBox,
                                                   C::kAliasingBox});
    layout.committed = {C::kFullnessSlider,   C::kFrequencySlider,     C::kSensitivitySlider,
                        C::kDurationSlider,   C::kSquelchSlider,       C::kChangingStaticSlider,
                        C::kVariationBox,     C::kRandomBreakupBox,    C::kAliasingBox,
                        C::kRandomAmplitudeBox, C::kVoiceBleedBox};
    return layout;
}

struct SliderPair {
    int upper;
    int lower;
};

// The upper slider of each pair never stands below the lower one after a drag.
constexpr SliderPair kPairs[] = {
    {CCommunicator::kFullnessSlider, CCommunicator::kFrequencySlider},
    {CCommunicator::kSensitivitySlider, CCommunicator::kSquelchSlider},
};

}  // namespace

CCommunicator::CCommunicator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CCommunicator::EnableVariation(bool enable) {
    EnableControls({kChangingStaticSlider, kChangingStaticEdit}, enable);
}

void CCommunicator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowCheck(kVariationBox, block);
    const bool variation = ValueOf(block, kVariationBox) != 0.0;
    EnableVariation(variation);
    ShowEdits({kFullnessSlider, kFrequencySlider, kSensitivitySlider, kSquelchSlider,
               kDurationSlider, kChangingStaticSlider},
              block);
    EnableVariation(variation);
    ShowCheck(kRandomBreakupBox, block);
    ShowCheck(kAliasingBox, block);
    ShowCheck(kRandomAmplitudeBox, block);
    ShowCheck(kVoiceBleedBox, block);
}

void CCommunicator::OnSliderMoved(int slider) {
    for (const SliderPair& pair : kPairs) {
        if (slider != pair.upper && slider != pair.lower) continue;
        const int other = slider == pair.upper ? pair.lower : pair.upper;
        CSliderCtrl moved = Item<CSliderCtrl>(slider);
        const int otherPos = SliderPos(other);
        if (slider == pair.upper && moved.GetPos() < otherPos) moved.SetPos(otherPos);
        if (slider == pair.lower && moved.GetPos() > otherPos) moved.SetPos(otherPos);
        const int position = moved.GetPos();
        WriteEdit(slider, position);
        StoreSetting(slider, position);
        StoreSetting(other, otherPos);
        return;
    }
    EffectPage::OnSliderMoved(slider);
}

bool CCommunicator::OnCheckBoxClicked(int box) {
    if (box != kVariationBox) return false;
    const bool checked = Item<CButton>(box).GetCheck() != 0;
    StoreSetting(box, checked ? 1.0 : 0.0);
    EnableVariation(checked);
    return true;
}
