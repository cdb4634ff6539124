// The preset operations of every effect, written once and driven by the
// effect's table: built-in presets, the preset list, applying, saving and
// deleting. What differs between the pages comes in through PresetPage.
#pragma once

#include <string>

#include "platform/registry.h"
#include "settings/effect_store.h"
#include "settings/setting_tables.h"

// What the preset operations need of an effect's page.
class PresetPage {
public:
    virtual ~PresetPage() = default;
    // Shows a block (the effect's own or a preset's) on the page's controls
    // exactly as ShowSettings does, enabling rules included.
    virtual void ShowValues(const void* block) = 0;
    // Asks for a preset name; false when the user cancelled.
    virtual bool AskPresetName(std::string* name) = 0;
    // Tells the user that the built-in preset `name` cannot be deleted.
    virtual void RefuseBuiltInDelete(const std::string& name) = 0;
};

// The texts the preset operations show.
extern const char kNoSelectionToDeleteText[];
extern const char kBuiltInOverwriteText[];   // %s: the typed name
extern const char kPresetExistsText[];       // %s: the typed name
extern const char kUnusablePresetNameText[];

namespace presets {

// The longest name the registry takes for one key.
constexpr std::size_t kLongestName = 255;

// "%s" in `format` replaced by `name`.
std::string WithName(const char* format, const std::string& name);

void CreateBuiltIns(CEffectStore& effect, const EffectTable& table);
void FillList(CEffectStore& effect, const EffectTable& table);
void ApplySelected(CEffectStore& effect, const EffectTable& table, PresetPage& page);
// Commits the page's controls first, so the preset holds what the page shows.
void Save(CEffectStore& effect, const EffectTable& table, PresetPage& page,
          platform::RegKey rootKey, platform::RegKey presetsKey);
void Delete(CEffectStore& effect, const EffectTable& table, PresetPage& page,
            platform::RegKey presetsKey);

}  // namespace presets
