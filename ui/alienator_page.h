// The Alienator's page: carrier and squelch, and the frequency hopping group
// whose "Enabled" box switches its controls on and off. Its two check boxes
// store their settings the moment they are clicked.
#pragma once

#include "ui/effect_page.h"

class CAlienator : public EffectPage {
public:
    explicit CAlienator(CListBox* presetList);

protected:
    void ShowValues(const void* block) override;
};
