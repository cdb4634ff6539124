// Read-only and preset-level access to the plug-in's registry store, for
// the commands that show or carry settings and presets without opening the
// plug-in's dialog. The plug-in itself is the only writer of last settings.
#pragma once

#include <string>
#include <vector>

#include "settings/effect_settings.h"
#include "settings/setting_tables.h"

namespace tovana {

// A key or value name from the module's string table.
std::string StoreString(unsigned id);
std::string RootKeyPath();  // Software\Kestrum\Zentrix CoolEdit Plugin Tovana
std::string PresetsKeyName(const EffectTable& table);

// What the store holds, read with the plug-in's rules: a missing value is
// a damaged store, a value of size 0 leaves the default in place.
struct StoredState {
    bool exists = false;   // the root key is there
    std::string problem;   // first key or value that could not be read; empty when complete
    int lastActiveEffect = 0;  // -1 when the stored value names no page
    EffectSettings settings{};  // defaults where nothing is stored
};
StoredState ReadStoredState();

// Prints on standard error, as "tovana: <line>", what the store reported
// about a file it could not read whole (which it reports once); nothing
// when the file read cleanly.
void ReportStoreProblems();

struct UserPreset {
    std::string name;
    std::vector<double> block;  // the effect's whole block, Preset Selection -1
    std::string problem;        // first missing value; empty when complete
};
// User presets of one effect in the registry's order (empty when the store
// or the presets key is missing).
std::vector<UserPreset> ReadUserPresets(EffectKind effect);

// One preset of a list, as the plug-in dialog shows it: sorted without
// regard to case, a stored preset taking a built-in's place under the same
// name.
struct ListedPreset {
    std::string name;
    bool builtIn = false;        // the entry comes from the program
    bool replacesBuiltIn = false;  // a user preset stored under a built-in name
    std::vector<double> block;
};
std::vector<ListedPreset> PresetList(EffectKind effect, const std::vector<UserPreset>& user);

// The effect whose name (any letter case) is `text`, or -1.
int EffectByName(const std::string& text);
std::string EffectChoices();  // "alienator, communicator, deepenator, cylonator"
std::string Lower(std::string text);

}  // namespace tovana
