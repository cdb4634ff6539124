// `tovana presets import`: the presets of a registry export file, checked
// whole before any is stored, then stored in one change of the store.
#pragma once

#include <string>
#include <vector>

#include "regfile/reg_tree.h"
#include "settings/setting_tables.h"

namespace tovana {

struct IncomingPreset {
    int effect = 0;
    std::string name;
    std::vector<double> block;  // the effect's whole block in table order; Preset Selection -1
    int line = 0;               // of the preset's section in the file; 0 when not found
    bool replaced = false;      // set by StorePresets: a user preset of that name was there
};

// Reads `file` and checks every preset in it: a usable name (no control
// character, not a built-in preset's name, within the registry's length),
// every value present, 8 bytes, a number inside its setting's range, and
// the slider pairs in order. False when the file cannot be read, holds no
// preset, or any preset fails; `problems` then has one line for each
// (naming the preset and its line), at most `maxProblems` of them plus a
// count of the rest.
bool ReadPresetFile(const std::string& file, std::vector<IncomingPreset>* presets,
                    std::vector<std::string>* problems, std::size_t maxProblems = 20);

// Stores every preset, replacing user presets of the same names, through
// the store (store::WriteUserPresets): all of them or, on an error, none.
// Assumes the store's tree exists.
bool StorePresets(std::vector<IncomingPreset>* presets, std::string* error);

}  // namespace tovana
