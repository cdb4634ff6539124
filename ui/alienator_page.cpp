#include "ui/alienator_page.h"

namespace {

PageLayout Layout() {
    PageLayout layout;
    layout.kind = EffectKind::Alienator;
    layout.sliders = {IDC_ALIENATOR_CARRIER_FREQ, IDC_ALIENATOR_SQUELCH, IDC_ALIENATOR_HOP_FREQ_DEV,
                      IDC_ALIENATOR_HOP_PERIOD};
    // The check boxes have no mirrors: they store their settings when clicked.
    layout.mirrored = layout.sliders;
    layout.committed = layout.sliders;
    layout.storedOnClick = {IDC_ALIENATOR_HOP_ENABLED, IDC_ALIENATOR_SMOOTH};
    return layout;
}

}  // namespace

CAlienator::CAlienator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CAlienator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowEdits({IDC_ALIENATOR_CARRIER_FREQ, IDC_ALIENATOR_SQUELCH, IDC_ALIENATOR_HOP_FREQ_DEV,
               IDC_ALIENATOR_HOP_PERIOD},
              block);
    ShowCheck(IDC_ALIENATOR_HOP_ENABLED, block);
    ShowCheck(IDC_ALIENATOR_SMOOTH, block);
    ShowEnabling(IDC_ALIENATOR_HOP_ENABLED, block);
    ShowCheck(IDC_ALIENATOR_SMOOTH, block);
}
