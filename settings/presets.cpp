#include "settings/presets.h"

#include <algorithm>
#include <cstring>

#include "settings/builtin_presets.h"
#include "settings/registry_store.h"

const char kNoSelectionToDeleteText[] = "You must select a preset before you can delete it!!!";
const char kBuiltInDeleteText[] = "This is a built-in preset and it cannot be deleted!!!";
const char kBuiltInOverwriteText[] = "%s is a built-in preset and cannot be overwritten!";
const char kPresetExistsText[] = "The preset %s already exists!  Overwrite?";
const char kUnusablePresetNameText[] =
    "A preset name cannot contain a backslash (\\) or be longer than 255 characters.  "
    "The preset was not saved.";

EffectModel::EffectModel(EffectKind kind) : table_(&TableOf(kind)) {
    WriteDefaults(TheEffectSettings(), *table_);
    const BuiltInPresetList builtIns = BuiltInPresetsOf(kind);
    for (std::size_t i = 0; i < builtIns.count; ++i) {
        auto record = std::make_unique<PresetRecord>();
        record->name = builtIns.presets[i].name;
        record->settings.resize(table_->blockSize / sizeof(double));
        std::memcpy(record->block(), builtIns.presets[i].block, table_->blockSize);
        Put(std::move(record));
    }
}

EffectModel::~EffectModel() {
    for (auto& entry : collection_) delete entry.second;
    for (PresetRecord* record : retired_) delete record;
}

double* EffectModel::OwnBlock() const {
    return static_cast<double*>(BlockOf(TheEffectSettings(), *table_));
}

PresetRecord* EffectModel::Put(std::unique_ptr<PresetRecord> record) {
    PresetRecord*& slot = collection_[record->name];
    if (slot != nullptr) retired_.push_back(slot);
    slot = record.release();
    return slot;
}

void EffectModel::Remove(const std::string& name, PresetRecord* record) {
    auto entry = collection_.find(name);
    if (entry != collection_.end()) {
        if (entry->second != record) retired_.push_back(entry->second);
        collection_.erase(entry);
    }
    auto retired = std::find(retired_.begin(), retired_.end(), record);
    if (retired != retired_.end()) retired_.erase(retired);
    delete record;
}

namespace presets {

namespace {

// The list index a stored selection names: truncated toward zero, and -1
// for anything below 0 or beyond what an int holds.
int SelectionIndex(double selection) {
    if (!(selection >= 0.0 && selection < 2147483648.0)) return -1;
    return static_cast<int>(selection);
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

int Activate(const EffectModel& effect) {
    const double* block = effect.OwnBlock();
    CopyBlockMix(block, &TheEffectSettings().workingMix);
    return SelectionIndex(block[kPresetSelectionField]);
}

const PresetRecord* Apply(EffectModel& effect, int selected, const PresetRecord* record) {
    double* block = effect.OwnBlock();
    block[kPresetSelectionField] = selected;
    if (selected < 0 || record == nullptr) return nullptr;
    const double* values = static_cast<const double*>(record->block());
    CopyBlockMix(values, &TheEffectSettings().workingMix);
    for (std::size_t i = kWetMixField; i < effect.table().blockSize / sizeof(double); ++i) {
        block[i] = values[i];
    }
    return record;
}

UserMessage SaveRefusal(const EffectModel& effect, const std::string& name) {
    // A backslash would make the registry create nested keys, and a longer
    // name than a key can have would fail half-way.
    if (!IsUsableKeyName(name)) return {kUnusablePresetNameText, MessageKind::Warning, ""};
    // A user preset under a built-in name could never be deleted again.
    if (FindBuiltInPreset(effect.table().kind, name) != nullptr) {
        return {WithName(kBuiltInOverwriteText, name), MessageKind::Warning, ""};
    }
    return {};
}

UserMessage OverwriteQuestion(const std::string& name) {
    return {WithName(kPresetExistsText, name), MessageKind::Question, ""};
}

PresetRecord* Store(EffectModel& effect, platform::RegKey presetsKey, const std::string& name) {
    double* block = effect.OwnBlock();
    store::ScopedKey presetKey;
    store::CreateKey(presetsKey, name, presetKey.put());
    CopyMixToBlock(TheEffectSettings().workingMix, block);
    store::WritePresetValues(presetKey.get(), effect.table(), block);
    presetKey.Close();

    auto record = std::make_unique<PresetRecord>();
    record->name = name;
    record->settings.assign(block, block + effect.table().blockSize / sizeof(double));
    return effect.Put(std::move(record));
}

void Select(EffectModel& effect, int index) { effect.OwnBlock()[kPresetSelectionField] = index; }

int SelectionToDelete(const EffectModel& effect, int listCount) {
    const double selection = effect.OwnBlock()[kPresetSelectionField];
    const int index = SelectionIndex(selection);
    if (selection < 0.0 || index < 0 || index >= listCount) return -1;
    return index;
}

bool Delete(EffectModel& effect, platform::RegKey presetsKey, PresetRecord* record,
            UserMessage* refusal) {
    if (FindBuiltInPreset(effect.table().kind, record->name) != nullptr) {
        // The Alienator has always refused with a text of its own.
        const char* own = effect.table().builtInDeleteText;
        *refusal = own != nullptr
                       ? UserMessage{WithName(own, record->name), MessageKind::Warning, ""}
                       : UserMessage{kBuiltInDeleteText, MessageKind::Notice, ""};
        return false;
    }
    const std::string name = record->name;
    effect.Remove(name, record);
    platform::RegDeleteKey(presetsKey, name);
    effect.OwnBlock()[kPresetSelectionField] = -1.0;
    return true;
}

}  // namespace presets
