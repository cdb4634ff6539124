#include "ui/deepenator_page.h"

namespace {

PageLayout Layout() {
    PageLayout layout;
    layout.kind = EffectKind::Deepenator;
    layout.sliders = {IDC_DEEPENATOR_REVERB_DELAY_LEFT,  IDC_DEEPENATOR_REVERB_POWER_LEFT,
                      IDC_DEEPENATOR_COMB_DELAY_LEFT,    IDC_DEEPENATOR_PITCH_SCALE_LEFT,
                      IDC_DEEPENATOR_REVERB_DELAY_RIGHT, IDC_DEEPENATOR_REVERB_POWER_RIGHT,
                      IDC_DEEPENATOR_COMB_DELAY_RIGHT,   IDC_DEEPENATOR_PITCH_SCALE_RIGHT};
    layout.mirrored = layout.sliders;
    layout.mirrored.insert(layout.mirrored.end(),
                           {IDC_DEEPENATOR_RANDOM_PITCH_SCALE, IDC_DEEPENATOR_RANDOM_REVERB_DELAY});
    layout.committed = layout.mirrored;
    return layout;
}

}  // namespace

CDeepenator::CDeepenator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CDeepenator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowCheck(IDC_DEEPENATOR_RANDOM_PITCH_SCALE, block);
    ShowCheck(IDC_DEEPENATOR_RANDOM_REVERB_DELAY, block);
    ShowEdits({IDC_DEEPENATOR_REVERB_DELAY_LEFT, IDC_DEEPENATOR_REVERB_POWER_LEFT,
               IDC_DEEPENATOR_COMB_DELAY_LEFT, IDC_DEEPENATOR_PITCH_SCALE_LEFT,
               IDC_DEEPENATOR_REVERB_DELAY_RIGHT, IDC_DEEPENATOR_REVERB_POWER_RIGHT,
               IDC_DEEPENATOR_COMB_DELAY_RIGHT, IDC_DEEPENATOR_PITCH_SCALE_RIGHT},
              block);
}
