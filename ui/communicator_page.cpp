#include "ui/communicator_page.h"

namespace {

PageLayout Layout() {
    PageLayout layout;
    layout.kind = EffectKind::Communicator;
    layout.sliders = {IDC_COMMUNICATOR_FULLNESS, IDC_COMMUNICATOR_FREQUENCY,
                      IDC_COMMUNICATOR_SENSITIVITY, IDC_COMMUNICATOR_DURATION,
                      IDC_COMMUNICATOR_SQUELCH, IDC_COMMUNICATOR_CHANGING_STATIC};
    layout.mirrored = layout.sliders;
    layout.mirrored.insert(layout.mirrored.end(),
                           {IDC_COMMUNICATOR_VARIATION, IDC_COMMUNICATOR_RANDOM_BREAKUP,
                            IDC_COMMUNICATOR_RANDOM_AMPLITUDE, IDC_COMMUNICATOR_VOICE_BLEED,
                            IDC_COMMUNICATOR_ALIASING});
    layout.committed = {IDC_COMMUNICATOR_FULLNESS,         IDC_COMMUNICATOR_FREQUENCY,
                        IDC_COMMUNICATOR_SENSITIVITY,      IDC_COMMUNICATOR_DURATION,
                        IDC_COMMUNICATOR_SQUELCH,          IDC_COMMUNICATOR_CHANGING_STATIC,
                        IDC_COMMUNICATOR_VARIATION,        IDC_COMMUNICATOR_RANDOM_BREAKUP,
                        IDC_COMMUNICATOR_ALIASING,         IDC_COMMUNICATOR_RANDOM_AMPLITUDE,
                        IDC_COMMUNICATOR_VOICE_BLEED};
    layout.storedOnClick = {IDC_COMMUNICATOR_VARIATION};
    return layout;
}

}  // namespace

CCommunicator::CCommunicator(CListBox* presetList) : EffectPage(Layout(), presetList) {}

void CCommunicator::ShowValues(const void* block) {
    ShowSliders(block);
    ShowCheck(IDC_COMMUNICATOR_VARIATION, block);
    ShowEnabling(IDC_COMMUNICATOR_VARIATION, block);
    ShowEdits({IDC_COMMUNICATOR_FULLNESS, IDC_COMMUNICATOR_FREQUENCY, IDC_COMMUNICATOR_SENSITIVITY,
               IDC_COMMUNICATOR_SQUELCH, IDC_COMMUNICATOR_DURATION, IDC_COMMUNICATOR_CHANGING_STATIC},
              block);
    ShowEnabling(IDC_COMMUNICATOR_VARIATION, block);
    ShowCheck(IDC_COMMUNICATOR_RANDOM_BREAKUP, block);
    ShowCheck(IDC_COMMUNICATOR_ALIASING, block);
    ShowCheck(IDC_COMMUNICATOR_RANDOM_AMPLITUDE, block);
    ShowCheck(IDC_COMMUNICATOR_VOICE_BLEED, block);
}
