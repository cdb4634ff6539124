#include "ui/cylonator_page.h"

namespace {

PageLayout Layout() {
    PageLayout layout;
    layout.kind = EffectKind::Cylonator;
    layout.sliders = {IDC_CYLONATOR_FREQ, IDC_CYLONATOR_PITCH_LEFT, IDC_CYLONATOR_PITCH_RIGHT,
                      IDC_CYLONATOR_AMPLITUDE_RIGHT, IDC_CYLONATOR_AMPLITUDE_LEFT};
    layout.mirrored = layout.sliders;
    layout.mirrored.insert(layout.mirrored.end(), {IDC_CYLONATOR_NOISE_LEFT, IDC_CYLONATOR_NOISE_RIGHT});
    layout.committed = layout.mirrored;
    return layout;
}

}  // namespace

CCylonator::CCylonator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CCylonator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowCheck(IDC_CYLONATOR_NOISE_LEFT, block);
    ShowEnabling(IDC_CYLONATOR_NOISE_LEFT, block);
    ShowCheck(IDC_CYLONATOR_NOISE_RIGHT, block);
    ShowEnabling(IDC_CYLONATOR_NOISE_RIGHT, block);
    ShowEdits({IDC_CYLONATOR_FREQ, IDC_CYLONATOR_PITCH_LEFT, IDC_CYLONATOR_PITCH_RIGHT,
               IDC_CYLONATOR_AMPLITUDE_RIGHT, IDC_CYLONATOR_AMPLITUDE_LEFT},
              block);
}
