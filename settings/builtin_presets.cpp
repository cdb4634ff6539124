#include "settings/builtin_presets.h"

#include <iterator>

namespace {

// Field order of each block: Preset Selection (unused in a preset), Wet Mix,
// Dry Mix, Mix Linked, then the effect's own parameters.

const AlienatorSettings kServiceDroid{-1, 100, 0, 1, 55, -80, 0, 0, 0, 0};
const AlienatorSettings kStarFighter{-1, 90, 10, 1, 200, -80, 100, 300, 1, 0};
const AlienatorSettings kSecretAgent{-1, 100, 0, 1, 15, -80, 0, 0, 0, 0};
const AlienatorSettings kBountyHunter{-1, 100, 0, 1, 20, -80, 0, 0, 0, 0};
const AlienatorSettings kComputer{-1, 100, 0, 1, 400, -70, 300, 150, 1, 1};
const AlienatorSettings kAmRadioDistress{-1, 80, 20, 1, 5000, -80, 4000, 100, 1, 1};

const BuiltInPreset kAlienator[] = {
    {"Service Droid", &kServiceDroid},
    {"Star Fighter Comm Traffic", &kStarFighter},
    {"Secret Agent", &kSecretAgent},
    {"Bounty Hunter", &kBountyHunter},
    {"Computer", &kComputer},
    {"AM Radio Distress", &kAmRadioDistress},
};

// Communicator fields: fullness, frequency, sensitivity, duration, squelch,
// changingStatic, changingStaticEnabled, randomBreakup, aliasing,
// randomAmplitude, voiceBleed.
const CommunicatorSettings kTotalBreakup{-1, 100, 0, 1, 3204, 504, -20, 260, -20, 0, 0, 1, 0, 1, 1};
const CommunicatorSettings kBadCellPhone{-1, 100, 0, 1, 2580, 346, -20, 50, -20, 0, 0, 1, 0, 0, 1};
const CommunicatorSettings kMissionControl{-1, 100, 0, 1, 3500, 576, 0, 1, -90, 0, 0, 0, 1, 0, 0};
const CommunicatorSettings kShuttleComm{-1, 100, 0, 1, 970, 50, 0, 1, -90, 0, 0, 0, 0, 0, 0};
const CommunicatorSettings kStormtrooper{-1, 100, 0, 1, 2600, 600, -20, 200, -75, 0, 0, 0, 0, 1, 0};

const BuiltInPreset kCommunicator[] = {
    {"Total Breakup", &kTotalBreakup},
    {"Bad Cell Phone", &kBadCellPhone},
    {"Mission Control", &kMissionControl},
    {"Shuttle Comm", &kShuttleComm},
    {"Stormtrooper", &kStormtrooper},
};

// Cylonator fields: freq, pitchLeft, pitchRight, amplitudeRight,
// amplitudeLeft, noiseLeftEnabled, noiseRightEnabled.
const CylonatorSettings kAlienWhisper{-1, 100, 0, 1, 50, 1, 1, 25, 25, 1, 1};
const CylonatorSettings kBattleDroid{-1, 100, 0, 1, 20, 52, 52, 40, 40, 0, 0};
const CylonatorSettings kBoorg{-1, 70, 30, 1, 50, 10, 7, 40, 40, 0, 0};
const CylonatorSettings kSylon{-1, 100, 0, 1, 20, 30, 35, 40, 40, 0, 0};
const CylonatorSettings kMarsAttacks{-1, 100, 0, 1, 50, 50, 60, 35, 35, 0, 0};
const CylonatorSettings kTurboFan{-1, 100, 0, 1, 35, 8, 8, 46, 46, 0, 0};

const BuiltInPreset kCylonator[] = {
    {"Alien Whisper", &kAlienWhisper}, {"Battle Droid", &kBattleDroid},
    {"Boorg", &kBoorg},                {"Sylon", &kSylon},
    {"Mars Attacks!", &kMarsAttacks},  {"Turbo Fan", &kTurboFan},
};

// Deepenator fields: reverbDelayLeft, reverbPowerLeft, combDelayLeft,
// pitchScaleLeft, reverbDelayRight, reverbPowerRight, combDelayRight,
// pitchScaleRight, randomPitchScaleEnabled, randomReverbDelayEnabled.
const DeepenatorSettings kDarkLord{-1, 100, 0, 1, 106, 39, 14, -4, 70, 55, 5, -4, 0, 0};
const DeepenatorSettings kGenderBender{-1, 90, 10, 1, 39, 4, 5, 1, 58, 44, 9, 1, 0, 0};
const DeepenatorSettings kMonster{-1, 100, 0, 1, 144, 64, 14, -3, 115, 74, 5, -5, 1, 0};
const DeepenatorSettings kPoltergeist{-1, 80, 20, 1, 724, 64, 48, -3, 800, 71, 39, 3, 0, 1};

const BuiltInPreset kDeepenator[] = {
    {"Dark Lord", &kDarkLord},
    {"Gender Bender", &kGenderBender},
    {"Monster", &kMonster},
    {"Poltergeist", &kPoltergeist},
};

}  // namespace

BuiltInPresetList BuiltInPresetsOf(EffectKind kind) {
    switch (kind) {
        case EffectKind::Alienator: return {kAlienator, std::size(kAlienator)};
        case EffectKind::Communicator: return {kCommunicator, std::size(kCommunicator)};
        case EffectKind::Deepenator: return {kDeepenator, std::size(kDeepenator)};
        case EffectKind::Cylonator: return {kCylonator, std::size(kCylonator)};
    }
    return {nullptr, 0};
}

const BuiltInPreset* FindBuiltInPreset(EffectKind kind, const std::string& name) {
    BuiltInPresetList list = BuiltInPresetsOf(kind);
    for (std::size_t i = 0; i < list.count; ++i) {
        if (name == list.presets[i].name) return &list.presets[i];
    }
    return nullptr;
}
