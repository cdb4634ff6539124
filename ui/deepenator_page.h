// The Deepenator's page: reverb, comb and pitch sliders for each channel and
// two "Randomize" boxes. No control has a click rule or is ever disabled.
#pragma once

#include "ui/effect_page.h"

class CDeepenator : public EffectPage {
public:
    explicit CDeepenator(CListBox* presetList);

    enum Control {
        kPitchScaleLeftSlider = 1063,
        kPitchScaleRightSlider = 1064,
        kReverbDelayRightSlider = 1067,
        kReverbDelayLeftSlider = 1069,
        kReverbPowerRightSlider = 1071,
        kCombDelayRightSlider = 1073,
        kRandomPitchBox = 1075,
        kRandomDelayBox = 1076,
        kReverbPowerLeftSlider = 1077,
        kCombDelayLeftSlider = 1079,
    };

protected:
    void ShowValues(const void* block) override;
};
