// The Deepenator's page: reverb, comb and pitch sliders for each channel and
// two "Randomize" boxes. No control has a click rule or is ever disabled.
#pragma once

#include "ui/effect_page.h"

class CDeepenator : public EffectPage {
public:
    explicit CDeepenator(CListBox* presetList);

protected:
    void ShowValues(const void* block) override;
};
