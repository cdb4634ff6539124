// Shorthands for the effect descriptors (settings/<effect>_effect.cpp).
#pragma once

#include <cstddef>
#include <iterator>

#include "settings/setting_tables.h"

namespace effect_rows {

constexpr auto kList = SettingKind::ListIndex;
constexpr auto kPercent = SettingKind::Percent;
constexpr auto kFlag = SettingKind::Flag;
constexpr auto kWhole = SettingKind::WholeNumber;

constexpr auto kNone = SettingUnit::None;
constexpr auto kHz = SettingUnit::Hertz;
constexpr auto kMs = SettingUnit::Milliseconds;
constexpr auto kDb = SettingUnit::Decibels;
constexpr auto kPct = SettingUnit::Percent;
constexpr auto kHalfSteps = SettingUnit::HalfSteps;

}  // namespace effect_rows

#define EFFECT_ROW_AT(Block, field) offsetof(Block, field)

// The fields every block begins with: the preset list's selection, and the
// mix, which the dialog edits through its working mix.
#define EFFECT_SELECTION_ROW(Block, Effect)                                                           \
    {EFFECT_ROW_AT(Block, presetSelection), IDS_##Effect##_PRESET_SELECTION, effect_rows::kList, -1, \
     -1, -1, 0, 0, effect_rows::kNone}
#define EFFECT_MIX_ROWS(Block, Effect)                                                                \
    {EFFECT_ROW_AT(Block, wetMix), IDS_##Effect##_WET_MIX, effect_rows::kPercent, 0, 100, 100, 0, 0, \
     effect_rows::kPct},                                                                              \
    {EFFECT_ROW_AT(Block, dryMix), IDS_##Effect##_DRY_MIX, effect_rows::kPercent, 0, 100, 0, 0, 0,   \
     effect_rows::kPct},                                                                              \
    {EFFECT_ROW_AT(Block, mixLinked), IDS_##Effect##_MIX_LINKED, effect_rows::kFlag, 0, 1, 1, 0, 0,  \
     effect_rows::kNone}
