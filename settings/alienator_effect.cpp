// The Alienator: ring modulation by a sine carrier, with a squelch and
// optional random frequency hopping.
#include "settings/effect_rows.h"

using namespace effect_rows;

namespace {

#define AT(field) EFFECT_ROW_AT(AlienatorSettings, field)

const SettingInfo kRows[] = {
    EFFECT_SELECTION_ROW(AlienatorSettings, ALIENATOR),
    {AT(carrierFreq), IDS_ALIENATOR_CARRIER_FREQ, kWhole, 5, 5000, 5, IDC_ALIENATOR_CARRIER_FREQ,
     IDC_ALIENATOR_CARRIER_FREQ_EDIT, kHz},
    {AT(squelch), IDS_ALIENATOR_SQUELCH, kWhole, -90, 0, -90, IDC_ALIENATOR_SQUELCH, IDC_ALIENATOR_SQUELCH_EDIT,
     kDb},
    EFFECT_MIX_ROWS(AlienatorSettings, ALIENATOR),
    {AT(hopFreqDev), IDS_ALIENATOR_HOP_FREQ_DEV, kWhole, 10, 5000, 10, IDC_ALIENATOR_HOP_FREQ_DEV,
     IDC_ALIENATOR_HOP_FREQ_DEV_EDIT, kHz},
    {AT(hopPeriod), IDS_ALIENATOR_HOP_PERIOD, kWhole, 1, 1000, 1, IDC_ALIENATOR_HOP_PERIOD,
     IDC_ALIENATOR_HOP_PERIOD_EDIT, kMs},
    {AT(hopEnabled), IDS_ALIENATOR_HOP_ENABLED, kFlag, 0, 1, 0, IDC_ALIENATOR_HOP_ENABLED, 0, kNone},
    {AT(smoothEnabled), IDS_ALIENATOR_SMOOTH_ENABLED, kFlag, 0, 1, 0, IDC_ALIENATOR_SMOOTH, 0, kNone},
};
static_assert(std::size(kRows) * sizeof(double) == sizeof(AlienatorSettings), "one row per field");

#undef AT

}  // namespace

extern const EffectTable kAlienatorEffect = {
    EffectKind::Alienator,
    "Alienator",
    kRows,
    std::size(kRows),
    offsetof(EffectSettings, alienator),
    sizeof(AlienatorSettings),
    IDS_ALIENATOR_LAST_SETTINGS_KEY,
    IDS_ALIENATOR_PRESETS_KEY,
    IDD_ALIENATOR,
    // The page: sliders, mirrored boxes, storing order, boxes stored on click,
    // and how it shows a block.
    {{IDC_ALIENATOR_CARRIER_FREQ, IDC_ALIENATOR_SQUELCH, IDC_ALIENATOR_HOP_FREQ_DEV, IDC_ALIENATOR_HOP_PERIOD},
     {},
     {},
     {IDC_ALIENATOR_HOP_ENABLED, IDC_ALIENATOR_SMOOTH},
     {{ShowStep::Sliders, {}},
      {ShowStep::Edits,
       {IDC_ALIENATOR_CARRIER_FREQ, IDC_ALIENATOR_SQUELCH, IDC_ALIENATOR_HOP_FREQ_DEV, IDC_ALIENATOR_HOP_PERIOD}},
      {ShowStep::Checks, {IDC_ALIENATOR_HOP_ENABLED, IDC_ALIENATOR_SMOOTH}},
      {ShowStep::Enabling, {IDC_ALIENATOR_HOP_ENABLED}},
      {ShowStep::Checks, {IDC_ALIENATOR_SMOOTH}}}},
    "Applying Alienator...",
    "lv2:ModulatorPlugin",
    // "Enabled" switches the whole hopping group.
    {{IDC_ALIENATOR_HOP_ENABLED, true,
      {IDC_ALIENATOR_HOP_FREQ_DEV_EDIT, IDC_ALIENATOR_HOP_PERIOD_EDIT, IDC_ALIENATOR_SMOOTH,
       IDC_ALIENATOR_HOP_FREQ_DEV, IDC_ALIENATOR_HOP_PERIOD}}},
    {},
    {
        {"Service Droid",
         {{IDS_ALIENATOR_WET_MIX, 100}, {IDS_ALIENATOR_DRY_MIX, 0}, {IDS_ALIENATOR_CARRIER_FREQ, 55},
          {IDS_ALIENATOR_SQUELCH, -80}, {IDS_ALIENATOR_HOP_FREQ_DEV, 0}, {IDS_ALIENATOR_HOP_PERIOD, 0},
          {IDS_ALIENATOR_HOP_ENABLED, 0}, {IDS_ALIENATOR_SMOOTH_ENABLED, 0}}},
        {"Star Fighter Comm Traffic",
         {{IDS_ALIENATOR_WET_MIX, 90}, {IDS_ALIENATOR_DRY_MIX, 10}, {IDS_ALIENATOR_CARRIER_FREQ, 200},
          {IDS_ALIENATOR_SQUELCH, -80}, {IDS_ALIENATOR_HOP_FREQ_DEV, 100}, {IDS_ALIENATOR_HOP_PERIOD, 300},
          {IDS_ALIENATOR_HOP_ENABLED, 1}, {IDS_ALIENATOR_SMOOTH_ENABLED, 0}}},
        {"Secret Agent",
         {{IDS_ALIENATOR_WET_MIX, 100}, {IDS_ALIENATOR_DRY_MIX, 0}, {IDS_ALIENATOR_CARRIER_FREQ, 15},
          {IDS_ALIENATOR_SQUELCH, -80}, {IDS_ALIENATOR_HOP_FREQ_DEV, 0}, {IDS_ALIENATOR_HOP_PERIOD, 0},
          {IDS_ALIENATOR_HOP_ENABLED, 0}, {IDS_ALIENATOR_SMOOTH_ENABLED, 0}}},
        {"Bounty Hunter",
         {{IDS_ALIENATOR_WET_MIX, 100}, {IDS_ALIENATOR_DRY_MIX, 0}, {IDS_ALIENATOR_CARRIER_FREQ, 20},
          {IDS_ALIENATOR_SQUELCH, -80}, {IDS_ALIENATOR_HOP_FREQ_DEV, 0}, {IDS_ALIENATOR_HOP_PERIOD, 0},
          {IDS_ALIENATOR_HOP_ENABLED, 0}, {IDS_ALIENATOR_SMOOTH_ENABLED, 0}}},
        {"Computer",
         {{IDS_ALIENATOR_WET_MIX, 100}, {IDS_ALIENATOR_DRY_MIX, 0}, {IDS_ALIENATOR_CARRIER_FREQ, 400},
          {IDS_ALIENATOR_SQUELCH, -70}, {IDS_ALIENATOR_HOP_FREQ_DEV, 300}, {IDS_ALIENATOR_HOP_PERIOD, 150},
          {IDS_ALIENATOR_HOP_ENABLED, 1}, {IDS_ALIENATOR_SMOOTH_ENABLED, 1}}},
        {"AM Radio Distress",
         {{IDS_ALIENATOR_WET_MIX, 80}, {IDS_ALIENATOR_DRY_MIX, 20}, {IDS_ALIENATOR_CARRIER_FREQ, 5000},
          {IDS_ALIENATOR_SQUELCH, -80}, {IDS_ALIENATOR_HOP_FREQ_DEV, 4000}, {IDS_ALIENATOR_HOP_PERIOD, 100},
          {IDS_ALIENATOR_HOP_ENABLED, 1}, {IDS_ALIENATOR_SMOOTH_ENABLED, 1}}},
    },
    dsp::MakeAlienator,
    "%s is a built-in preset and cannot be deleted!",
};
