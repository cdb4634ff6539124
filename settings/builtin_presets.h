// The presets every effect carries, as whole blocks made from the values
// its descriptor gives by setting name, in the order in which each effect's
// page creates them. Every built-in preset has "Mix Linked" 1. The names are
// shown and compared exactly as written; the list box sorts them itself.
#pragma once

#include <cstddef>
#include <string>

#include "settings/effect_settings.h"

struct BuiltInPreset {
    const char* name;
    const void* block;  // a block of the effect's settings type
};

struct BuiltInPresetList {
    const BuiltInPreset* presets;
    std::size_t count;
};

BuiltInPresetList BuiltInPresetsOf(EffectKind kind);

// The built-in preset of this effect whose name equals `name` exactly
// (letter case included); null when there is none.
const BuiltInPreset* FindBuiltInPreset(EffectKind kind, const std::string& name);
