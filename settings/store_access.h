// The store as the command-line host reads and writes it without opening
// the plug-in's dialog: the last settings, the user presets, the preset
// list as the dialog shows it, user presets stored in one change, and the
// tree of a registry export file. The reading rules are the plug-in's own
// (settings/registry_store.h); where the plug-in throws, these report the
// first key or value that failed. The plug-in itself is the only writer of
// last settings.
#pragma once

#include <string>
#include <vector>

#include "regfile/reg_tree.h"
#include "settings/effect_settings.h"
#include "settings/setting_tables.h"

namespace store {

std::string RootKeyPath();  // Software\Kestrum\Zentrix CoolEdit Plugin Tovana
std::string PresetsKeyName(const EffectTable& table);

// What the store holds: a missing value is a damaged store, a value of size
// 0 leaves the default in place.
struct StoredState {
    bool exists = false;   // the root key is there
    std::string problem;   // first key or value that could not be read; empty when complete
    int lastActiveEffect = 0;  // -1 when the stored value names no page
    EffectSettings settings{};  // defaults where nothing is stored
};
StoredState ReadStoredState();

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

// A user preset to store: the effect's whole block in table order.
struct PresetToStore {
    int effect = 0;
    std::string name;
    std::vector<double> block;
    bool replaced = false;  // set by WriteUserPresets: a user preset of that name was there
};
// Stores every preset, replacing user presets of the same names, in one
// batch: the store takes all of them or, on an error, none. Assumes the
// store's tree exists. On failure `what` names the preset (or "the
// presets") and `code` is the registry's error; a failing commit leaves
// `code` set and `what` empty, with the store's own account in `problem`.
struct WriteFailure {
    std::string what;
    long code = 0;
    std::string problem;
};
bool WriteUserPresets(std::vector<PresetToStore>* presets, WriteFailure* failure);

// The presets key of `table`'s effect in the tree of an export file (below
// its hives), made when `create` and missing; null when missing.
regfile::Key* PresetsKeyIn(regfile::Key& top, const EffectTable& table, bool create);
// `preset` in the tree of an export file, every value as the plug-in
// stores it.
void AddToExport(regfile::Key& top, const EffectTable& table, const UserPreset& preset);

}  // namespace store
