// The property sheet of the plug-in dialog: one page per effect, in
// EffectKind order, so a page index is an EffectKind.
#pragma once

#include "platform/framework.h"
#include "settings/resource_ids.h"

class CEffectSheet : public CPropertySheet {
public:
    CEffectSheet() : CPropertySheet(IDS_PROPERTY_SHEET, nullptr, 0) {}
};
