// The Communicator's page: the filter band and the noise sensitivity as two
// pairs of sliders that bound each other while dragged, the noise insertion
// group with its "Variation" box, and four advanced check boxes that take
// effect when the page's controls are committed.
#pragma once

#include "ui/effect_page.h"

class CCommunicator : public EffectPage {
public:
    explicit CCommunicator(CListBox* presetList);

    enum Control {
        kRandomBreakupBox = 111,
        kFullnessSlider = 1031,
        kFrequencySlider = 1032,
        kSensitivitySlider = 1033,
        kSquelchSlider = 1034,
        kRandomAmplitudeBox = 1035,
        kVariationBox = 1036,
        kDurationSlider = 1037,
        kVoiceBleedBox = 1038,
        kAliasingBox = 1039,
        kChangingStaticSlider = 1040,
        kChangingStaticEdit = 1050,
    };

protected:
    void ShowValues(const void* block) override;
    void OnSliderMoved(int slider) override;
    bool OnCheckBoxClicked(int box) override;

private:
    void EnableVariation(bool enable);
};
