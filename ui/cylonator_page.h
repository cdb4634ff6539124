// The Cylonator's page: the vocoder's low-pass cutoff and, per channel, the
// excitation's pitch multiplier and amplitude. A channel's "Use Noise as
// Excitation" box greys out its Pitch Multiply slider; the box's setting
// changes when the page's controls are committed.
#pragma once

#include "ui/effect_page.h"

class CCylonator : public EffectPage {
public:
    explicit CCylonator(CListBox* presetList);

    enum Control {
        kNoiseLeftBox = 111,
        kNoiseRightBox = 112,
        kFreqSlider = 1045,
        kPitchLeftEdit = 1047,
        kPitchRightEdit = 1048,
        kPitchLeftSlider = 1049,
        kPitchRightSlider = 1050,
        kAmplitudeRightSlider = 1052,
        kAmplitudeLeftSlider = 1053,
    };

protected:
    void ShowValues(const void* block) override;
    bool OnCheckBoxClicked(int box) override;
};
