#include "settings/builtin_presets.h"

#include <cstddef>
#include <memory>
#include <vector>

#include "settings/setting_tables.h"

namespace {

// The presets of one effect as whole blocks, made from its descriptor's
// name-keyed values: "Preset Selection" -1 (unused in a preset), "Mix
// Linked" 1, every other setting as the preset gives it.
struct EffectPresets {
    std::vector<std::vector<double>> blocks;
    std::vector<BuiltInPreset> presets;
};

// Every block begins with the same four fields.
constexpr std::size_t kSelectionField = offsetof(AlienatorSettings, presetSelection) / sizeof(double);
constexpr std::size_t kMixLinkedField = offsetof(AlienatorSettings, mixLinked) / sizeof(double);

EffectPresets MakePresets(const EffectTable& table) {
    EffectPresets made;
    for (const BuiltInPresetData& data : table.builtInPresets) {
        std::vector<double> block(table.blockSize / sizeof(double), 0.0);
        block[kSelectionField] = -1.0;
        block[kMixLinkedField] = 1.0;
        for (const PresetValue& value : data.values) {
            for (std::size_t i = 0; i < table.settingCount; ++i) {
                if (table.settings[i].nameId == value.setting) BlockValue(block.data(), table.settings[i]) = value.value;
            }
        }
        made.blocks.push_back(std::move(block));
    }
    for (std::size_t i = 0; i < made.blocks.size(); ++i) {
        made.presets.push_back({table.builtInPresets.begin()[i].name, made.blocks[i].data()});
    }
    return made;
}

}  // namespace

BuiltInPresetList BuiltInPresetsOf(EffectKind kind) {
    static const std::unique_ptr<EffectPresets[]> all = [] {
        std::unique_ptr<EffectPresets[]> made(new EffectPresets[kEffectCount]);
        for (int e = 0; e < kEffectCount; ++e) made[e] = MakePresets(TableOf(e));
        return made;
    }();
    if (FindEffect(static_cast<int>(kind)) == nullptr) return {nullptr, 0};
    const EffectPresets& presets = all[static_cast<int>(kind)];
    return {presets.presets.data(), presets.presets.size()};
}

const BuiltInPreset* FindBuiltInPreset(EffectKind kind, const std::string& name) {
    BuiltInPresetList list = BuiltInPresetsOf(kind);
    for (std::size_t i = 0; i < list.count; ++i) {
        if (name == list.presets[i].name) return &list.presets[i];
    }
    return nullptr;
}
