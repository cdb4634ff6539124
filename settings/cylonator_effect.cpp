// The Cylonator: a channel vocoder that imposes the voice's band envelopes
// on a pulse train or on noise.
#include "settings/effect_rows.h"

using namespace effect_rows;

namespace {

#define AT(field) EFFECT_ROW_AT(CylonatorSettings, field)

const SettingInfo kRows[] = {
    EFFECT_SELECTION_ROW(CylonatorSettings, CYLONATOR),
    EFFECT_MIX_ROWS(CylonatorSettings, CYLONATOR),
    {AT(freq), IDS_CYLONATOR_FREQ, kWhole, 10, 100, 10, IDC_CYLONATOR_FREQ, IDC_CYLONATOR_FREQ_EDIT, kHz},
    {AT(pitchLeft), IDS_CYLONATOR_PITCH_LEFT, kWhole, 1, 100, 1, IDC_CYLONATOR_PITCH_LEFT,
     IDC_CYLONATOR_PITCH_LEFT_EDIT, kNone},
    {AT(pitchRight), IDS_CYLONATOR_PITCH_RIGHT, kWhole, 1, 100, 1, IDC_CYLONATOR_PITCH_RIGHT,
     IDC_CYLONATOR_PITCH_RIGHT_EDIT, kNone},
    {AT(amplitudeRight), IDS_CYLONATOR_AMPLITUDE_RIGHT, kWhole, 1, 100, 1, IDC_CYLONATOR_AMPLITUDE_RIGHT,
     IDC_CYLONATOR_AMPLITUDE_RIGHT_EDIT, kNone},
    {AT(amplitudeLeft), IDS_CYLONATOR_AMPLITUDE_LEFT, kWhole, 1, 100, 1, IDC_CYLONATOR_AMPLITUDE_LEFT,
     IDC_CYLONATOR_AMPLITUDE_LEFT_EDIT, kNone},
    {AT(noiseLeftEnabled), IDS_CYLONATOR_NOISE_LEFT_ENABLED, kFlag, 0, 1, 0, IDC_CYLONATOR_NOISE_LEFT, 0, kNone},
    {AT(noiseRightEnabled), IDS_CYLONATOR_NOISE_RIGHT_ENABLED, kFlag, 0, 1, 0, IDC_CYLONATOR_NOISE_RIGHT, 0,
     kNone},
};
static_assert(std::size(kRows) * sizeof(double) == sizeof(CylonatorSettings), "one row per field");

#undef AT

}  // namespace

extern const EffectTable kCylonatorEffect = {
    EffectKind::Cylonator,
    "Cylonator",
    kRows,
    std::size(kRows),
    offsetof(EffectSettings, cylonator),
    sizeof(CylonatorSettings),
    IDS_CYLONATOR_LAST_SETTINGS_KEY,
    IDS_CYLONATOR_PRESETS_KEY,
    IDD_CYLONATOR,
    // The page: sliders, mirrored boxes, storing order, boxes stored on click,
    // and how it shows a block.
    {{IDC_CYLONATOR_FREQ, IDC_CYLONATOR_PITCH_LEFT, IDC_CYLONATOR_PITCH_RIGHT, IDC_CYLONATOR_AMPLITUDE_RIGHT,
      IDC_CYLONATOR_AMPLITUDE_LEFT},
     {IDC_CYLONATOR_NOISE_LEFT, IDC_CYLONATOR_NOISE_RIGHT},
     {},
     {},
     {{ShowStep::Sliders, {}},
      {ShowStep::Checks, {IDC_CYLONATOR_NOISE_LEFT}},
      {ShowStep::Enabling, {IDC_CYLONATOR_NOISE_LEFT}},
      {ShowStep::Checks, {IDC_CYLONATOR_NOISE_RIGHT}},
      {ShowStep::Enabling, {IDC_CYLONATOR_NOISE_RIGHT}},
      {ShowStep::Edits,
       {IDC_CYLONATOR_FREQ, IDC_CYLONATOR_PITCH_LEFT, IDC_CYLONATOR_PITCH_RIGHT, IDC_CYLONATOR_AMPLITUDE_RIGHT,
        IDC_CYLONATOR_AMPLITUDE_LEFT}}}},
    "Applying Cylonator...",
    "lv2:SpectralPlugin",
    // Noise as a channel's excitation greys out its pitch multiplier.
    {{IDC_CYLONATOR_NOISE_LEFT, false, {IDC_CYLONATOR_PITCH_LEFT, IDC_CYLONATOR_PITCH_LEFT_EDIT}},
     {IDC_CYLONATOR_NOISE_RIGHT, false, {IDC_CYLONATOR_PITCH_RIGHT, IDC_CYLONATOR_PITCH_RIGHT_EDIT}}},
    {},
    {
        {"Alien Whisper",
         {{IDS_CYLONATOR_WET_MIX, 100}, {IDS_CYLONATOR_DRY_MIX, 0}, {IDS_CYLONATOR_FREQ, 50},
          {IDS_CYLONATOR_PITCH_LEFT, 1}, {IDS_CYLONATOR_PITCH_RIGHT, 1}, {IDS_CYLONATOR_AMPLITUDE_RIGHT, 25},
          {IDS_CYLONATOR_AMPLITUDE_LEFT, 25}, {IDS_CYLONATOR_NOISE_LEFT_ENABLED, 1},
          {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, 1}}},
        {"Battle Droid",
         {{IDS_CYLONATOR_WET_MIX, 100}, {IDS_CYLONATOR_DRY_MIX, 0}, {IDS_CYLONATOR_FREQ, 20},
          {IDS_CYLONATOR_PITCH_LEFT, 52}, {IDS_CYLONATOR_PITCH_RIGHT, 52}, {IDS_CYLONATOR_AMPLITUDE_RIGHT, 40},
          {IDS_CYLONATOR_AMPLITUDE_LEFT, 40}, {IDS_CYLONATOR_NOISE_LEFT_ENABLED, 0},
          {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, 0}}},
        {"Boorg",
         {{IDS_CYLONATOR_WET_MIX, 70}, {IDS_CYLONATOR_DRY_MIX, 30}, {IDS_CYLONATOR_FREQ, 50},
          {IDS_CYLONATOR_PITCH_LEFT, 10}, {IDS_CYLONATOR_PITCH_RIGHT, 7}, {IDS_CYLONATOR_AMPLITUDE_RIGHT, 40},
          {IDS_CYLONATOR_AMPLITUDE_LEFT, 40}, {IDS_CYLONATOR_NOISE_LEFT_ENABLED, 0},
          {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, 0}}},
        {"Sylon",
         {{IDS_CYLONATOR_WET_MIX, 100}, {IDS_CYLONATOR_DRY_MIX, 0}, {IDS_CYLONATOR_FREQ, 20},
          {IDS_CYLONATOR_PITCH_LEFT, 30}, {IDS_CYLONATOR_PITCH_RIGHT, 35}, {IDS_CYLONATOR_AMPLITUDE_RIGHT, 40},
          {IDS_CYLONATOR_AMPLITUDE_LEFT, 40}, {IDS_CYLONATOR_NOISE_LEFT_ENABLED, 0},
          {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, 0}}},
        {"Mars Attacks!",
         {{IDS_CYLONATOR_WET_MIX, 100}, {IDS_CYLONATOR_DRY_MIX, 0}, {IDS_CYLONATOR_FREQ, 50},
          {IDS_CYLONATOR_PITCH_LEFT, 50}, {IDS_CYLONATOR_PITCH_RIGHT, 60}, {IDS_CYLONATOR_AMPLITUDE_RIGHT, 35},
          {IDS_CYLONATOR_AMPLITUDE_LEFT, 35}, {IDS_CYLONATOR_NOISE_LEFT_ENABLED, 0},
          {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, 0}}},
        {"Turbo Fan",
         {{IDS_CYLONATOR_WET_MIX, 100}, {IDS_CYLONATOR_DRY_MIX, 0}, {IDS_CYLONATOR_FREQ, 35},
          {IDS_CYLONATOR_PITCH_LEFT, 8}, {IDS_CYLONATOR_PITCH_RIGHT, 8}, {IDS_CYLONATOR_AMPLITUDE_RIGHT, 46},
          {IDS_CYLONATOR_AMPLITUDE_LEFT, 46}, {IDS_CYLONATOR_NOISE_LEFT_ENABLED, 0},
          {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, 0}}},
    },
    dsp::MakeCylonator,
    nullptr,
};
