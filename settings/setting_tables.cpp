#include "settings/setting_tables.h"

#include <cstddef>

#include "platform/resource_tables.h"

extern const EffectTable kAlienatorEffect;
extern const EffectTable kCommunicatorEffect;
extern const EffectTable kDeepenatorEffect;
extern const EffectTable kCylonatorEffect;

// One line per effect, in EffectKind order.
const EffectTable* const kEffects[kEffectCount] = {
    &kAlienatorEffect,
    &kCommunicatorEffect,
    &kDeepenatorEffect,
    &kCylonatorEffect,
};

const EffectTable& TableOf(EffectKind kind) { return *kEffects[static_cast<int>(kind)]; }
const EffectTable& TableOf(int effectIndex) { return *kEffects[effectIndex]; }

const EffectTable* FindEffect(int effectIndex) {
    return effectIndex >= 0 && effectIndex < kEffectCount ? kEffects[effectIndex] : nullptr;
}

const SettingInfo* RowOfControl(const EffectTable& table, int control) {
    if (control == 0) return nullptr;
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        if (table.settings[i].control == control) return &table.settings[i];
    }
    return nullptr;
}

const EnablingRule* EnablingRuleOf(const EffectTable& table, int box) {
    for (const EnablingRule& rule : table.enablingRules) {
        if (rule.box == box) return &rule;
    }
    return nullptr;
}

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
