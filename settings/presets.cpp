#include "settings/presets.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "settings/builtin_presets.h"
#include "settings/registry_store.h"

const char kNoSelectionToDeleteText[] = "You must select a preset before you can delete it!!!";
const char kBuiltInOverwriteText[] = "%s is a built-in preset and cannot be overwritten!";
const char kPresetExistsText[] = "The preset %s already exists!  Overwrite?";
const char kUnusablePresetNameText[] =
    "A preset name cannot contain a backslash (\\) or be longer than 255 characters.  "
    "The preset was not saved.";

CEffectStore::~CEffectStore() {
    for (auto& entry : presetCollection) delete entry.second;
    for (PresetRecord* record : retired_) delete record;
}

PresetRecord* CEffectStore::PutPreset(std::unique_ptr<PresetRecord> record) {
    PresetRecord*& slot = presetCollection[record->name];
    if (slot != nullptr) retired_.push_back(slot);
    slot = record.release();
    return slot;
}

void CEffectStore::RemovePreset(const std::string& name, PresetRecord* record) {
    auto entry = presetCollection.find(name);
    if (entry != presetCollection.end()) {
        if (entry->second != record) retired_.push_back(entry->second);
        presetCollection.erase(entry);
    }
    auto retired = std::find(retired_.begin(), retired_.end(), record);
    if (retired != retired_.end()) retired_.erase(retired);
    delete record;
}

namespace presets {

namespace {

double* OwnBlock(const EffectTable& table) {
    return static_cast<double*>(BlockOf(TheEffectSettings(), table));
}

// The list index a stored selection names: truncated toward zero, and -1
// for anything below 0 or beyond what an int holds.
int SelectionIndex(double selection) {
    if (!(selection >= 0.0 && selection < 2147483648.0)) return -1;
    return static_cast<int>(selection);
}

// The record a list entry carries; null for an index the list does not have.
PresetRecord* RecordAt(CListBox& list, int index) {
    void* data = list.GetItemDataPtr(index);
    if (data == reinterpret_cast<void*>(-1)) return nullptr;
    return static_cast<PresetRecord*>(data);
}

bool IsUsableKeyName(const std::string& name) {
    return name.size() <= kLongestName && name.find('\\') == std::string::npos;
}

}  // namespace

std::string WithName(const char* format, const std::string& name) {
    std::string text(format);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, name);
    return text;
}

void CreateBuiltIns(CEffectStore& effect, const EffectTable& table) {
    const BuiltInPresetList builtIns = BuiltInPresetsOf(table.kind);
    for (std::size_t i = 0; i < builtIns.count; ++i) {
        auto record = std::make_unique<PresetRecord>();
        record->name = builtIns.presets[i].name;
        record->settings.resize(table.blockSize / sizeof(double));
        std::memcpy(record->block(), builtIns.presets[i].block, table.blockSize);
        effect.PutPreset(std::move(record));
    }
}

void FillList(CEffectStore& effect, const EffectTable& table) {
    CListBox& list = *effect.presetList;
    list.ResetContent();
    for (auto& entry : effect.presetCollection) {
        const int index = list.AddString(entry.first);
        list.SetItemDataPtr(index, entry.second);
    }
    double* block = OwnBlock(table);
    list.SetCurSel(SelectionIndex(block[kPresetSelectionField]));
    CopyBlockMix(block, &TheEffectSettings().workingMix);
}

void ApplySelected(CEffectStore& effect, const EffectTable& table, PresetPage& page) {
    CListBox& list = *effect.presetList;
    double* block = OwnBlock(table);
    const int selected = list.GetCurSel();
    block[kPresetSelectionField] = selected;
    if (selected < 0) return;
    const PresetRecord* record = RecordAt(list, selected);
    if (record == nullptr) return;

    page.ShowValues(record->block());
    const double* values = static_cast<const double*>(record->block());
    CopyBlockMix(values, &TheEffectSettings().workingMix);
    for (std::size_t i = kWetMixField; i < table.blockSize / sizeof(double); ++i) {
        block[i] = values[i];
    }
}

void Save(CEffectStore& effect, const EffectTable& table, PresetPage& page,
          platform::RegKey rootKey, platform::RegKey presetsKey) {
    (void)rootKey;
    effect.CommitControls();
    std::string name;
    if (!page.AskPresetName(&name)) return;

    // A backslash would make the registry create nested keys, and a longer
    // name than a key can have would fail half-way.
    if (!IsUsableKeyName(name)) {
        AfxMessageBox(kUnusablePresetNameText, platform::kMbOk | platform::kMbIconExclamation);
        return;
    }
    // A user preset under a built-in name could never be deleted again.
    if (FindBuiltInPreset(table.kind, name) != nullptr) {
        AfxMessageBox(WithName(kBuiltInOverwriteText, name),
                      platform::kMbOk | platform::kMbIconExclamation);
        return;
    }

    CListBox& list = *effect.presetList;
    double* block = OwnBlock(table);
    const int existing = list.FindStringExact(-1, name);
    if (existing >= 0) {
        const int answer = AfxMessageBox(WithName(kPresetExistsText, name),
                                         platform::kMbYesNo | platform::kMbIconQuestion);
        if (answer != platform::kIdYes) return;
    }

    // The old preset goes and the new one arrives with all its values in
    // one change of the store; a throw leaves the store as it was.
    platform::RegistryBatch batch;
    if (existing >= 0) {
        block[kPresetSelectionField] = existing;
        Delete(effect, table, page, presetsKey);
    }
    store::ScopedKey presetKey;
    store::CreateKey(presetsKey, name, presetKey.put());
    CopyMixToBlock(TheEffectSettings().workingMix, block);
    store::WritePresetValues(presetKey.get(), table, block);
    presetKey.Close();
    batch.Commit();

    auto record = std::make_unique<PresetRecord>();
    record->name = name;
    record->settings.assign(block, block + table.blockSize / sizeof(double));
    PresetRecord* kept = effect.PutPreset(std::move(record));

    const int index = list.AddString(name);
    block[kPresetSelectionField] = index;
    list.SetItemDataPtr(index, kept);
    list.SetCurSel(index);
}

void Delete(CEffectStore& effect, const EffectTable& table, PresetPage& page,
            platform::RegKey presetsKey) {
    CListBox& list = *effect.presetList;
    double* block = OwnBlock(table);
    const double selection = block[kPresetSelectionField];
    const int index = SelectionIndex(selection);
    if (selection < 0.0 || index < 0 || index >= list.GetCount()) {
        AfxMessageBox(kNoSelectionToDeleteText, platform::kMbOk);
        return;
    }
    PresetRecord* record = RecordAt(list, index);
    if (record == nullptr) {
        AfxMessageBox(kNoSelectionToDeleteText, platform::kMbOk);
        return;
    }
    if (FindBuiltInPreset(table.kind, record->name) != nullptr) {
        page.RefuseBuiltInDelete(record->name);
        return;
    }
    const std::string name = record->name;
    effect.RemovePreset(name, record);
    platform::RegDeleteKey(presetsKey, name);
    list.DeleteString(index);
    block[kPresetSelectionField] = -1.0;
}

}  // namespace presets
