#include "ui/alienator_page.h"

namespace {

PageLayout Layout() {
    using C = CAlienator;
    PageLayout layout;
    layout.kind = EffectKind::Alienator;
    layout.sliders = {C::kCarrierSlider, C::kSquelchSlider, C::kFreqDevSlider, C::kHopPeriodSlider};
    // The check boxes have no mirrors: they store their settings when clicked.
    layout.mirrored = layout.sliders;
    layout.committed = layout.sliders;
    return layout;
}

}  // namespace

CAlienator::CAlienator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CAlienator::EnableHopping(bool enable) {
    EnableControls({kFreqDevEdit, kHopPeriodEdit, kSmoothBox, kFreqDevSlider, kHopPeriodSlider},
                   enable);
}

void CAlienator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowEdits({kCarrierSlider, kSquelchSlider, kFreqDevSlider, kHopPeriodSlider}, block);
    ShowCheck(kHopEnabledBox, block);
    ShowCheck(kSmoothBox, block);
    EnableHopping(ValueOf(block, kHopEnabledBox) != 0.0);
    ShowCheck(kSmoothBox, block);
}

bool CAlienator::OnCheckBoxClicked(int box) {
    if (box != kHopEnabledBox && box != kSmoothBox) return false;
    const bool checked = Item<CButton>(box).GetCheck() != 0;
    StoreSetting(box, checked ? 1.0 : 0.0);
    if (box == kHopEnabledBox) EnableHopping(checked);
    return true;
}
