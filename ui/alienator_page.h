// The Alienator's page: carrier and squelch, and the frequency hopping group
// whose "Enabled" box switches its controls on and off. Its two check boxes
// store their settings the moment they are clicked.
#pragma once

#include "ui/effect_page.h"

class CAlienator : public EffectPage {
public:
    explicit CAlienator(CListBox* presetList);

    enum Control {
        kHopEnabledBox = 1011,
        kSmoothBox = 1025,
        kSquelchSlider = 1053,
        kSquelchEdit = 1054,
        kCarrierSlider = 1055,
        kCarrierEdit = 1056,
        kHopPeriodSlider = 1057,
        kHopPeriodEdit = 1058,
        kFreqDevSlider = 1059,
        kFreqDevEdit = 1060,
    };

protected:
    void ShowValues(const void* block) override;
    bool OnCheckBoxClicked(int box) override;

private:
    void EnableHopping(bool enable);
};
