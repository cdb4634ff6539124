// CEffectStore: what the plug-in dialog reaches of one effect: its presets,
// its stored settings and the page controls that show them.
//
// Each effect page derives from CPropertyPage and from CEffectStore and
// implements the eleven operations for its own block, registry names and
// controls. A PresetRecord keeps the effect's block as its doubles, in the
// block's field order, so one record type serves all four effects.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "platform/registry.h"

#include "settings/effect_settings.h"

// Every effect block begins with these four fields, in this order.
enum BlockHeadField {
    kPresetSelectionField = 0,
    kWetMixField = 1,
    kDryMixField = 2,
    kMixLinkedField = 3,
};

inline void CopyBlockMix(const double* block, WorkingMix* mix) {
    mix->wetMix = block[kWetMixField];
    mix->dryMix = block[kDryMixField];
    mix->mixLinked = block[kMixLinkedField];
}

inline void CopyMixToBlock(const WorkingMix& mix, double* block) {
    block[kWetMixField] = mix.wetMix;
    block[kDryMixField] = mix.dryMix;
    block[kMixLinkedField] = mix.mixLinked;
}

struct PresetRecord {
    std::string name;
    // A copy of the effect's block, field by field; the copy's "Preset
    // Selection" is not used.
    std::vector<double> settings;

    const void* block() const { return settings.data(); }
    void* block() { return settings.data(); }
};

class CEffectStore {
public:
    explicit CEffectStore(CListBox* presetList) : presetList(presetList) {}
    virtual ~CEffectStore();
    CEffectStore(const CEffectStore&) = delete;
    CEffectStore& operator=(const CEffectStore&) = delete;

    // Every preset of the effect, built-in and user, by name (compared with
    // case). The collection owns its records.
    std::map<std::string, PresetRecord*> presetCollection;
    // The plug-in dialog's preset list (control 1015).
    CListBox* presetList;

    virtual void SaveLastSettings(platform::RegKey initKey) = 0;
    virtual void LoadLastSettings(platform::RegKey initKey) = 0;
    virtual void CreateKeys(platform::RegKey rootKey, platform::RegKey initKey) = 0;
    virtual void LoadUserPresets(platform::RegKey rootKey) = 0;
    virtual void ApplySelectedPreset() = 0;
    virtual void FillPresetList() = 0;
    virtual void SavePreset(platform::RegKey rootKey, platform::RegKey presetsKey) = 0;
    virtual void DeletePreset(platform::RegKey presetsKey) = 0;
    virtual void CommitControls() = 0;
    virtual void CreateBuiltInPresets() = 0;
    virtual void ShowSettings() = 0;

    // Puts `record` into the collection under its name. A record that loses
    // its place there is kept alive until the store goes, since a list entry
    // may still point to it.
    PresetRecord* PutPreset(std::unique_ptr<PresetRecord> record);
    // Removes `name` from the collection and frees `record`, the record a
    // list entry of that name carried.
    void RemovePreset(const std::string& name, PresetRecord* record);

private:
    std::vector<PresetRecord*> retired_;
};
