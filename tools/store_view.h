// The store as the commands see it: read and written only through the
// store's own functions (settings/store_access.h), and the effects by the
// names the commands take.
#pragma once

#include <string>
#include <vector>

#include "settings/effect_settings.h"
#include "settings/setting_tables.h"
#include "settings/store_access.h"

namespace tovana {

using store::ListedPreset;
using store::PresetList;
using store::PresetsKeyName;
using store::ReadStoredState;
using store::ReadUserPresets;
using store::RootKeyPath;
using store::StoredState;
using store::UserPreset;

// Prints on standard error, as "tovana: <line>", what the store reported
// about a file it could not read whole (which it reports once); nothing
// when the file read cleanly.
void ReportStoreProblems();

// The effect whose name (any letter case) is `text`, or -1.
int EffectByName(const std::string& text);
std::string EffectChoices();  // "alienator, communicator, deepenator, cylonator"
// `help` with its "{effects}" as "alienator, communicator, deepenator or
// cylonator".
std::string WithEffectNames(const char* help);
std::string Lower(std::string text);

}  // namespace tovana
