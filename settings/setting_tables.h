// One table per effect describing every setting of its block: where it
// lives, the string id of its registry value name, its range and default,
// and the page control that edits it. Storage, presets, pages, the
// command-line host and the tests all read these tables.
//
// Rows are in the order in which the effect's last-settings key is written
// and read; a user preset stores the same rows without "Preset Selection".
#pragma once

#include <cstddef>
#include <string>

#include "settings/effect_settings.h"

enum class SettingKind {
    ListIndex,    // Preset Selection: -1 or an index of the preset list
    Percent,      // the block's remembered mix
    Flag,         // 0.0 or 1.0, a check box
    WholeNumber,  // a slider position
};

// The unit a setting's number is shown in beside its control.
enum class SettingUnit {
    None,       // list index, flag or a plain factor
    Hertz,
    Milliseconds,
    Decibels,
    Percent,
    HalfSteps,  // semitones of the equal-tempered scale
};

struct SettingInfo {
    std::size_t offset;  // byte offset of the double in the effect's block
    unsigned nameId;     // string id of the registry value name
    SettingKind kind;
    double minimum;
    double maximum;
    double defaultValue;
    int control;    // slider or check box on the page; 0 when the page has none
    int valueEdit;  // read-only edit beside a slider; 0 otherwise
    SettingUnit unit;
};

struct EffectTable {
    EffectKind kind;
    const char* name;  // "Alienator", ...
    const SettingInfo* settings;
    std::size_t settingCount;
    std::size_t blockOffset;  // offset of the effect's block in EffectSettings
    std::size_t blockSize;
    unsigned lastSettingsKeyId;  // subkey of Init
    unsigned presetsKeyId;       // subkey of the root
    int pageTemplate;            // dialog template of the effect's page
};

// Indexed by EffectKind.
const EffectTable& TableOf(EffectKind kind);
const EffectTable& TableOf(int effectIndex);  // 0..3

// The setting's double inside its effect's block of the given record.
double& SettingValue(EffectSettings& settings, const EffectTable& table,
                     const SettingInfo& setting);
double SettingValue(const EffectSettings& settings, const EffectTable& table,
                    const SettingInfo& setting);
// The same for a bare block (of the table's effect), e.g. a preset's copy.
double& BlockValue(void* block, const SettingInfo& setting);
double BlockValue(const void* block, const SettingInfo& setting);
void* BlockOf(EffectSettings& settings, const EffectTable& table);

// The registry value name of a setting, from the module's string table.
std::string SettingName(const SettingInfo& setting);
// The row whose registry name equals `name` exactly; null when none does.
const SettingInfo* FindSetting(const EffectTable& table, const std::string& name);

// Writes the Default column of the table into the effect's block.
void WriteDefaults(EffectSettings& settings, const EffectTable& table);
