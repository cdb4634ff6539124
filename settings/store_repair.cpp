#include "settings/store_repair.h"

#include <cstring>

#include "settings/registry_store.h"
#include "settings/setting_tables.h"

namespace store {
namespace {

std::vector<unsigned char> Bytes(double value) {
    std::vector<unsigned char> bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

}  // namespace

std::vector<platform::RegistryKeyRule> RepairRules() {
    const std::string root = ResourceString(kRootKeyId);
    const std::string init = root + "\\" + ResourceString(kInitKeyId);
    std::vector<platform::RegistryKeyRule> rules;
    rules.push_back({init, {ResourceString(kLastActiveEffectId)}, {Bytes(kFirstRunActiveEffect)}});
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const EffectTable& table = TableOf(effect);
        platform::RegistryKeyRule last{init + "\\" + ResourceString(table.lastSettingsKeyId), {}, {}};
        platform::RegistryKeyRule preset{
            root + "\\" + ResourceString(table.presetsKeyId) + "\\*", {}, {}};
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            const SettingInfo& row = table.settings[i];
            last.values.push_back(SettingName(row));
            last.fill.push_back(Bytes(row.defaultValue));
            // A preset stores every setting but its list's selection.
            if (row.kind != SettingKind::ListIndex) preset.values.push_back(SettingName(row));
        }
        rules.push_back(std::move(last));
        rules.push_back({root + "\\" + ResourceString(table.presetsKeyId), {}, {}});
        rules.push_back(std::move(preset));
    }
    return rules;
}

void InstallRepairRules() { platform::SetRegistryRepairRules(RepairRules()); }

}  // namespace store
