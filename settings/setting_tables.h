// One descriptor per effect (settings/<effect>_effect.cpp) and the list of
// them, kEffects. A descriptor holds every fact about its effect that more
// than one part of the program needs: each setting of its block (where it
// lives, the string id of its registry value name, its range and default,
// the page control that edits it), its registry keys, its page's template,
// enabling rules and slider pairs, its built-in presets, the status text of
// a run and its processor. Storage, presets, pages, processing, the
// command-line host, the LV2 bundle and the tests all read them.
//
// Rows are in the order in which the effect's last-settings key is written
// and read; a user preset stores the same rows without "Preset Selection".
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "dsp/stream_processor.h"
#include "settings/effect_settings.h"
#include "settings/resource_ids.h"

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

// A check box of a page that makes other controls of the page usable or
// greys them out, on the page and for whoever drives the page.
struct EnablingRule {
    int box;
    bool usableWhenChecked;  // false: the controls are usable while the box is cleared
    std::initializer_list<int> controls;  // sliders, value edits, boxes, in switching order
};

// Two sliders of a page that bound each other while dragged: the upper one
// never stands below the lower one.
struct SliderPair {
    int upper;
    int lower;
};

// One step of showing a block on the effect's page.
struct ShowStep {
    enum Kind {
        Sliders,   // every slider's position, in the page's slider order
        Edits,     // the value edits of these sliders
        Checks,    // these check boxes
        Enabling,  // the enabling rule of this box
    };
    Kind kind;
    std::initializer_list<int> controls;
};

// The orders in which the effect's page handles its controls.
struct PageLayout {
    // Sliders in the order the page sets their ranges and positions.
    std::initializer_list<int> sliders;
    // Check boxes with an integer mirror; they follow the sliders in data
    // exchange order. A box without one stores its setting when clicked.
    std::initializer_list<int> mirroredBoxes;
    // Controls whose mirror a commit stores, in storing order; empty: the
    // mirrored controls in data exchange order.
    std::initializer_list<int> committed;
    // Check boxes whose setting follows them the moment they are clicked.
    std::initializer_list<int> storedOnClick;
    // How the page shows a block (its own or a preset's), in order.
    std::initializer_list<ShowStep> show;
};

// One value of a built-in preset, keyed by the setting's name (its string id).
struct PresetValue {
    unsigned setting;
    double value;
};

// A built-in preset: every setting of the block but "Preset Selection"
// (-1) and "Mix Linked" (1 for all of them).
struct BuiltInPresetData {
    const char* name;  // shown and compared exactly as written
    std::initializer_list<PresetValue> values;
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
    PageLayout page;
    const char* statusText;      // what the editor shows while the effect runs
    const char* lv2Class;        // what kind of effect it is for LV2 hosts
    std::initializer_list<EnablingRule> enablingRules;
    std::initializer_list<SliderPair> sliderPairs;
    // In the order in which the page creates them; the list sorts them.
    std::initializer_list<BuiltInPresetData> builtInPresets;
    dsp::ProcessorFactory processor;
    // The refusal to delete a built-in preset, "%s" its name, shown as a
    // warning; null: the text every other effect shows.
    const char* builtInDeleteText;
};

// Every effect, in EffectKind order (the sheet's page order).
extern const EffectTable* const kEffects[kEffectCount];

// Indexed by EffectKind.
const EffectTable& TableOf(EffectKind kind);
const EffectTable& TableOf(int effectIndex);  // 0 to kEffectCount - 1
// The effect of a stored or processed index; null outside the list.
const EffectTable* FindEffect(int effectIndex);
// The row of the page control `control` (slider or check box); null when
// no setting has it.
const SettingInfo* RowOfControl(const EffectTable& table, int control);
// The rule that `box` follows; null when it has none.
const EnablingRule* EnablingRuleOf(const EffectTable& table, int box);

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
