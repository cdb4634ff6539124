#include "settings/setting_tables.h"

#include <cstddef>
#include <iterator>

#include "platform/resource_tables.h"

namespace {

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

#define AT(Block, field) offsetof(Block, field)

// The four fields every block begins with; the mix is edited through the
// dialog's working mix, the selection through its preset list.
#define MIX_ROWS(Block, wetId, dryId, linkedId)                        \
    {AT(Block, wetMix), wetId, kPercent, 0, 100, 100, 0, 0, kPct},     \
    {AT(Block, dryMix), dryId, kPercent, 0, 100, 0, 0, 0, kPct},       \
    {AT(Block, mixLinked), linkedId, kFlag, 0, 1, 1, 0, 0, kNone}

const SettingInfo kAlienatorRows[] = {
    {AT(AlienatorSettings, presetSelection), 18, kList, -1, -1, -1, 0, 0, kNone},
    {AT(AlienatorSettings, carrierFreq), 6, kWhole, 5, 5000, 5, 1055, 1056, kHz},
    {AT(AlienatorSettings, squelch), 7, kWhole, -90, 0, -90, 1053, 1054, kDb},
    MIX_ROWS(AlienatorSettings, 8, 9, 10),
    {AT(AlienatorSettings, hopFreqDev), 11, kWhole, 10, 5000, 10, 1059, 1060, kHz},
    {AT(AlienatorSettings, hopPeriod), 12, kWhole, 1, 1000, 1, 1057, 1058, kMs},
    {AT(AlienatorSettings, hopEnabled), 13, kFlag, 0, 1, 0, 1011, 0, kNone},
    {AT(AlienatorSettings, smoothEnabled), 16, kFlag, 0, 1, 0, 1025, 0, kNone},
};

const SettingInfo kCommunicatorRows[] = {
    {AT(CommunicatorSettings, presetSelection), 1044, kList, -1, -1, -1, 0, 0, kNone},
    MIX_ROWS(CommunicatorSettings, 1045, 1046, 1047),
    {AT(CommunicatorSettings, fullness), 1033, kWhole, 50, 5500, 5500, 1031, 1043, kHz},
    {AT(CommunicatorSettings, frequency), 1034, kWhole, 50, 5500, 50, 1032, 1044, kHz},
    {AT(CommunicatorSettings, sensitivity), 1035, kWhole, -90, 0, 0, 1033, 1045, kDb},
    {AT(CommunicatorSettings, duration), 1036, kWhole, 1, 1000, 1, 1037, 1049, kMs},
    {AT(CommunicatorSettings, squelch), 1042, kWhole, -90, 0, -90, 1034, 1047, kDb},
    {AT(CommunicatorSettings, changingStatic), 1039, kWhole, 0, 100, 0, 1040, 1050, kPct},
    {AT(CommunicatorSettings, changingStaticEnabled), 1040, kFlag, 0, 1, 0, 1036, 0, kNone},
    {AT(CommunicatorSettings, randomBreakup), 1037, kFlag, 0, 1, 0, 111, 0, kNone},
    {AT(CommunicatorSettings, randomAmplitude), 1038, kFlag, 0, 1, 0, 1035, 0, kNone},
    {AT(CommunicatorSettings, voiceBleed), 1041, kFlag, 0, 1, 0, 1038, 0, kNone},
    {AT(CommunicatorSettings, aliasing), 1043, kFlag, 0, 1, 0, 1039, 0, kNone},
};

const SettingInfo kCylonatorRows[] = {
    {AT(CylonatorSettings, presetSelection), 1059, kList, -1, -1, -1, 0, 0, kNone},
    MIX_ROWS(CylonatorSettings, 1056, 1057, 1058),
    {AT(CylonatorSettings, freq), 1048, kWhole, 10, 100, 10, 1045, 1046, kHz},
    {AT(CylonatorSettings, pitchLeft), 1051, kWhole, 1, 100, 1, 1049, 1047, kNone},
    {AT(CylonatorSettings, pitchRight), 1052, kWhole, 1, 100, 1, 1050, 1048, kNone},
    {AT(CylonatorSettings, amplitudeRight), 1053, kWhole, 1, 100, 1, 1052, 1051, kNone},
    {AT(CylonatorSettings, amplitudeLeft), 1060, kWhole, 1, 100, 1, 1053, 1054, kNone},
    {AT(CylonatorSettings, noiseLeftEnabled), 1054, kFlag, 0, 1, 0, 111, 0, kNone},
    {AT(CylonatorSettings, noiseRightEnabled), 1055, kFlag, 0, 1, 0, 112, 0, kNone},
};

const SettingInfo kDeepenatorRows[] = {
    {AT(DeepenatorSettings, presetSelection), 1078, kList, -1, -1, -1, 0, 0, kNone},
    MIX_ROWS(DeepenatorSettings, 1065, 1066, 1067),
    {AT(DeepenatorSettings, reverbDelayLeft), 1068, kWhole, 1, 1000, 1, 1069, 1070, kMs},
    {AT(DeepenatorSettings, reverbPowerLeft), 1069, kWhole, 1, 100, 1, 1077, 1078, kNone},
    {AT(DeepenatorSettings, combDelayLeft), 1070, kWhole, 1, 200, 1, 1079, 1080, kMs},
    {AT(DeepenatorSettings, pitchScaleLeft), 1071, kWhole, -12, 12, 0, 1063, 1066, kHalfSteps},
    {AT(DeepenatorSettings, reverbDelayRight), 1072, kWhole, 1, 1000, 1, 1067, 1068, kMs},
    {AT(DeepenatorSettings, reverbPowerRight), 1073, kWhole, 1, 100, 1, 1071, 1072, kNone},
    {AT(DeepenatorSettings, combDelayRight), 1074, kWhole, 1, 200, 1, 1073, 1074, kMs},
    {AT(DeepenatorSettings, pitchScaleRight), 1075, kWhole, -12, 12, 0, 1064, 1065, kHalfSteps},
    {AT(DeepenatorSettings, randomPitchScaleEnabled), 1076, kFlag, 0, 1, 0, 1075, 0, kNone},
    {AT(DeepenatorSettings, randomReverbDelayEnabled), 1077, kFlag, 0, 1, 0, 1076, 0, kNone},
};

#undef MIX_ROWS
#undef AT

// Every block has one row per field.
static_assert(std::size(kAlienatorRows) * sizeof(double) == sizeof(AlienatorSettings));
static_assert(std::size(kCommunicatorRows) * sizeof(double) == sizeof(CommunicatorSettings));
static_assert(std::size(kCylonatorRows) * sizeof(double) == sizeof(CylonatorSettings));
static_assert(std::size(kDeepenatorRows) * sizeof(double) == sizeof(DeepenatorSettings));

const EffectTable kTables[kEffectCount] = {
    {EffectKind::Alienator, "Alienator", kAlienatorRows, std::size(kAlienatorRows),
     offsetof(EffectSettings, alienator), sizeof(AlienatorSettings), 1030, 1028, 1028},
    {EffectKind::Communicator, "Communicator", kCommunicatorRows, std::size(kCommunicatorRows),
     offsetof(EffectSettings, communicator), sizeof(CommunicatorSettings), 1031, 1032, 1030},
    {EffectKind::Deepenator, "Deepenator", kDeepenatorRows, std::size(kDeepenatorRows),
     offsetof(EffectSettings, deepenator), sizeof(DeepenatorSettings), 1064, 1063, 1031},
    {EffectKind::Cylonator, "Cylonator", kCylonatorRows, std::size(kCylonatorRows),
     offsetof(EffectSettings, cylonator), sizeof(CylonatorSettings), 1050, 1049, 1032},
};

}  // namespace

const EffectTable& TableOf(EffectKind kind) { return kTables[static_cast<int>(kind)]; }
const EffectTable& TableOf(int effectIndex) { return kTables[effectIndex]; }

void* BlockOf(EffectSettings& settings, const EffectTable& table) {
    return reinterpret_cast<unsigned char*>(&settings) + table.blockOffset;
}

double& BlockValue(void* block, const SettingInfo& setting) {
    return *reinterpret_cast<double*>(static_cast<unsigned char*>(block) + setting.offset);
}

double BlockValue(const void* block, const SettingInfo& setting) {
    return *reinterpret_cast<const double*>(static_cast<const unsigned char*>(block) +
                                            setting.offset);
}

double& SettingValue(EffectSettings& settings, const EffectTable& table,
                     const SettingInfo& setting) {
    return BlockValue(BlockOf(settings, table), setting);
}

double SettingValue(const EffectSettings& settings, const EffectTable& table,
                    const SettingInfo& setting) {
    const auto* block = reinterpret_cast<const unsigned char*>(&settings) + table.blockOffset;
    return BlockValue(block, setting);
}

std::string SettingName(const SettingInfo& setting) {
    const char* text = platform::FindStringResource(setting.nameId);
    return text != nullptr ? text : std::string();
}

const SettingInfo* FindSetting(const EffectTable& table, const std::string& name) {
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        if (SettingName(table.settings[i]) == name) return &table.settings[i];
    }
    return nullptr;
}

void WriteDefaults(EffectSettings& settings, const EffectTable& table) {
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        SettingValue(settings, table, table.settings[i]) = table.settings[i].defaultValue;
    }
}
