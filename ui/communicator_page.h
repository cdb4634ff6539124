// The Communicator's page: the filter band and the noise sensitivity as two
// pairs of sliders that bound each other while dragged, the noise insertion
// group with its "Variation" box, and four advanced check boxes that take
// effect when the page's controls are committed.
#pragma once

#include "ui/effect_page.h"

class CCommunicator : public EffectPage {
public:
    explicit CCommunicator(CListBox* presetList);

protected:
    void ShowValues(const void* block) override;
};
