// The Cylonator's page: the vocoder's low-pass cutoff and, per channel, the
// excitation's pitch multiplier and amplitude. A channel's "Use Noise as
// Excitation" box greys out its Pitch Multiply slider; the box's setting
// changes when the page's controls are committed.
#pragma once

#include "ui/effect_page.h"

class CCylonator : public EffectPage {
public:
    explicit CCylonator(CListBox* presetList);

protected:
    void ShowValues(const void* block) override;
};
