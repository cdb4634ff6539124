#include "settings/registry_store.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/resource_tables.h"
#include "settings/registry_backup.h"
#include "settings/store_repair.h"

const char kRegistryReadErrorCaption[] = "Zentrix CoolEdit Plugin Tovana: Registry Read Error";
// The caption's spelling is the product's own.
const char kRegistryResetErrorCaption[] =
    "Zentrix CoolEfit Plugin Tovana: Error Reinitializing Registry";

namespace store {

namespace {

bool IsPresetSelection(const SettingInfo& row) { return row.kind == SettingKind::ListIndex; }

// The working mix's field for one of the block's three mix rows; null for
// every other row.
const double* WorkingMixField(const SettingInfo& row) {
    const WorkingMix& mix = TheEffectSettings().workingMix;
    switch (row.offset / sizeof(double)) {
        case kWetMixField: return &mix.wetMix;
        case kDryMixField: return &mix.dryMix;
        case kMixLinkedField: return &mix.mixLinked;
        default: return nullptr;
    }
}

}  // namespace

std::string ResourceString(unsigned id) {
    const char* text = platform::FindStringResource(id);
    return text != nullptr ? text : std::string();
}

void ScopedKey::Close() { CloseKey(&key_); }

void OpenKey(platform::RegKey parent, const std::string& name, platform::RegKey* key) {
    CloseKey(key);
    if (platform::RegOpenKey(parent, name, key) != platform::kErrorSuccess) {
        *key = nullptr;
        throw name;
    }
}

void CreateKey(platform::RegKey parent, const std::string& name, platform::RegKey* key) {
    CloseKey(key);
    if (platform::RegCreateKey(parent, name, key) != platform::kErrorSuccess) {
        *key = nullptr;
        throw name;
    }
}

void CloseKey(platform::RegKey* key) {
    if (*key != nullptr) {
        platform::RegCloseKey(*key);
        *key = nullptr;
    }
}

void ReadSetting(platform::RegKey key, const std::string& name, double* value) {
    std::uint32_t size = 0;
    if (platform::RegQueryValueSize(key, name, &size) != platform::kErrorSuccess) throw name;
    if (size == 0) return;
    // The store writes nothing but 8-byte doubles; any other size is damage.
    if (size != sizeof(double)) throw name;
    unsigned char bytes[sizeof(double)];
    std::uint32_t type = 0;
    std::uint32_t read = sizeof bytes;
    if (platform::RegQueryValue(key, name, &type, bytes, &read) != platform::kErrorSuccess ||
        read != sizeof bytes) {
        throw name;
    }
    std::memcpy(value, bytes, sizeof bytes);
}

std::string ReadSettingProblem(platform::RegKey key, const std::string& name, double* value) {
    try {
        ReadSetting(key, name, value);
    } catch (const std::string& failed) {
        return failed;
    }
    return {};
}

std::string ReadLastSettings(platform::RegKey initKey, const EffectTable& table, void* block) {
    const std::string keyName = ResourceString(table.lastSettingsKeyId);
    ScopedKey key;
    if (platform::RegOpenKey(initKey, keyName, key.put()) != platform::kErrorSuccess) return keyName;
    std::string problem;
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& row = table.settings[i];
        const std::string failed = ReadSettingProblem(key.get(), SettingName(row), &BlockValue(block, row));
        if (problem.empty()) problem = failed;
    }
    return problem;
}

bool PresetNames(platform::RegKey presetsKey, std::vector<std::string>* names) {
    names->clear();
    std::uint32_t longest = 0;
    if (platform::RegQueryMaxSubKeyLength(presetsKey, &longest) != platform::kErrorSuccess) return false;
    std::vector<char> buffer(longest + 1);
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
        if (platform::RegEnumKey(presetsKey, index, buffer.data(), &length) != platform::kErrorSuccess) {
            break;
        }
        names->emplace_back(buffer.data(), length);
    }
    return true;
}

std::string ReadPreset(platform::RegKey presetsKey, const std::string& name, const EffectTable& table,
                       double* values) {
    ScopedKey key;
    if (platform::RegOpenKey(presetsKey, name, key.put()) != platform::kErrorSuccess) return name;
    std::string problem;
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& row = table.settings[i];
        if (IsPresetSelection(row)) {
            values[i] = -1.0;
            continue;
        }
        const std::string failed = ReadSettingProblem(key.get(), SettingName(row), &values[i]);
        if (problem.empty()) problem = failed;
    }
    return problem;
}

void WriteSetting(platform::RegKey key, const std::string& name, double value) {
    unsigned char bytes[sizeof(double)];
    std::memcpy(bytes, &value, sizeof bytes);
    platform::RegSetValue(key, name, platform::kRegNone, bytes, sizeof bytes);
}

void SaveLastSettings(platform::RegKey initKey, const EffectTable& table) {
    ScopedKey key;
    OpenKey(initKey, ResourceString(table.lastSettingsKeyId), key.put());
    const void* block = BlockOf(TheEffectSettings(), table);
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& row = table.settings[i];
        // Every effect stores the mix the dialog shows, not its own copy.
        const double* mix = WorkingMixField(row);
        const double value = mix != nullptr ? *mix : BlockValue(block, row);
        WriteSetting(key.get(), SettingName(row), value);
    }
}

void LoadLastSettings(platform::RegKey initKey, const EffectTable& table) {
    const std::string problem = ReadLastSettings(initKey, table, BlockOf(TheEffectSettings(), table));
    if (!problem.empty()) throw problem;
}

void CreateKeys(platform::RegKey rootKey, platform::RegKey initKey, const EffectTable& table) {
    ScopedKey key;
    CreateKey(rootKey, ResourceString(table.presetsKeyId), key.put());
    key.Close();
    CreateKey(initKey, ResourceString(table.lastSettingsKeyId), key.put());
}

void LoadUserPresets(platform::RegKey rootKey, EffectModel& effect) {
    const EffectTable& table = effect.table();
    const std::string presetsName = ResourceString(table.presetsKeyId);
    ScopedKey presetsKey;
    OpenKey(rootKey, presetsName, presetsKey.put());
    std::vector<std::string> names;
    if (!PresetNames(presetsKey.get(), &names)) throw presetsName;
    for (const std::string& name : names) {
        std::vector<double> values(table.settingCount, 0.0);
        const std::string problem = ReadPreset(presetsKey.get(), name, table, values.data());
        if (!problem.empty()) throw problem;
        auto record = std::make_unique<PresetRecord>();
        record->name = name;
        record->settings.assign(table.blockSize / sizeof(double), 0.0);
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            BlockValue(record->block(), table.settings[i]) = values[i];
        }
        effect.Put(std::move(record));
    }
}

void WritePresetValues(platform::RegKey presetKey, const EffectTable& table, const void* block) {
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& row = table.settings[i];
        if (IsPresetSelection(row)) continue;
        WriteSetting(presetKey, SettingName(row), BlockValue(block, row));
    }
}

}  // namespace store

namespace {

// A stored "Last Active Effect" names a page; anything but 0 to 3 (including
// a value that is no number) falls back to the first page.
int PageOfStoredEffect(double stored) {
    if (!(stored > -1.0 && stored < static_cast<double>(kEffectCount))) return 0;
    return static_cast<int>(stored);
}

// A list index from a stored double, truncated toward zero; values that no
// int can hold select nothing.
int ListIndexOf(double stored) {
    if (!(stored > -2147483648.0 && stored < 2147483648.0)) return -1;
    return static_cast<int>(stored);
}

}  // namespace

RegistryStore::~RegistryStore() { CloseOpenKeys(); }

void RegistryStore::CloseOpenKeys() {
    store::CloseKey(&m_hRootKey);
    store::CloseKey(&m_hInitKey);
    store::CloseKey(&m_hPresetsKey);
    store::CloseKey(&m_hPresetKey);
}

RegistryStore::Restored RegistryStore::InitRegistry(int activePage) {
    // A damaged store file is mended by these before anything reads it.
    store::InstallRepairRules();
    const std::string rootPath = store::ResourceString(store::kRootKeyId);
    platform::RegKey probe = nullptr;
    if (platform::RegOpenKey(platform::CurrentUserKey(), rootPath, &probe) !=
        platform::kErrorSuccess) {
        // First run, or the first opening after the tree was deleted: store
        // the defaults the models hold, the whole tree at once.
        platform::RegistryBatch batch;
        store::CreateKey(platform::CurrentUserKey(), rootPath, &m_hRootKey);
        store::CloseKey(&m_hRootKey);
        CreateRegistryDefaults();
        SaveSettingsToRegistry(activePage);
        batch.Commit();
        return Restored();
    }
    platform::RegCloseKey(probe);
    store::OpenKey(platform::CurrentUserKey(), rootPath, &m_hRootKey);
    for (int effect = 0; effect < kEffectCount; ++effect) {
        store::LoadUserPresets(m_hRootKey, *effects_[effect]);
    }
    store::CloseKey(&m_hRootKey);
    return LoadSettingsFromRegistry();
}

void RegistryStore::CreateRegistryDefaults() {
    store::OpenKey(platform::CurrentUserKey(), store::ResourceString(store::kRootKeyId),
                   &m_hRootKey);
    store::CreateKey(m_hRootKey, store::ResourceString(store::kInitKeyId), &m_hInitKey);
    store::WriteSetting(m_hInitKey, store::ResourceString(store::kLastActiveEffectId),
                        store::kFirstRunActiveEffect);
    for (int effect = 0; effect < kEffectCount; ++effect) {
        store::CreateKeys(m_hRootKey, m_hInitKey, effects_[effect]->table());
    }
    store::CloseKey(&m_hInitKey);
    store::CloseKey(&m_hRootKey);
}

RegistryStore::Restored RegistryStore::LoadSettingsFromRegistry() {
    store::OpenKey(platform::CurrentUserKey(), store::ResourceString(store::kRootKeyId),
                   &m_hRootKey);
    store::OpenKey(m_hRootKey, store::ResourceString(store::kInitKeyId), &m_hInitKey);

    const std::string lastActiveName = store::ResourceString(store::kLastActiveEffectId);
    std::uint32_t size = 0;
    if (platform::RegQueryValueSize(m_hInitKey, lastActiveName, &size) != platform::kErrorSuccess ||
        size == 0) {
        throw lastActiveName;
    }
    double lastActive = 0.0;
    store::ReadSetting(m_hInitKey, lastActiveName, &lastActive);

    for (int effect = 0; effect < kEffectCount; ++effect) {
        store::LoadLastSettings(m_hInitKey, effects_[effect]->table());
    }
    Restored restored;
    restored.firstRun = false;
    restored.page = PageOfStoredEffect(lastActive);

    EffectSettings& settings = TheEffectSettings();
    const double* block = effects_[restored.page]->OwnBlock();
    CopyBlockMix(block, &settings.workingMix);
    restored.listSelection = ListIndexOf(block[kPresetSelectionField]);

    store::CloseKey(&m_hInitKey);
    store::CloseKey(&m_hRootKey);
    return restored;
}

void RegistryStore::SaveSettingsToRegistry(int activePage) {
    // Every effect's settings and the active page land together or not at
    // all; a write that fails is not reported.
    platform::RegistryBatch batch;
    store::OpenKey(platform::CurrentUserKey(), store::ResourceString(store::kRootKeyId),
                   &m_hRootKey);
    store::OpenKey(m_hRootKey, store::ResourceString(store::kInitKeyId), &m_hInitKey);
    store::WriteSetting(m_hInitKey, store::ResourceString(store::kLastActiveEffectId),
                        static_cast<double>(activePage));
    for (int effect = 0; effect < kEffectCount; ++effect) {
        store::SaveLastSettings(m_hInitKey, effects_[effect]->table());
    }
    store::CloseKey(&m_hInitKey);
    store::CloseKey(&m_hRootKey);
    batch.Commit();
}

void RegistryStore::OpenPresetKeys(int effect) {
    store::OpenKey(platform::CurrentUserKey(), store::ResourceString(store::kRootKeyId),
                   &m_hRootKey);
    store::OpenKey(m_hRootKey, store::ResourceString(TableOf(effect).presetsKeyId),
                   &m_hPresetsKey);
}

void RegistryStore::ClosePresetKeys() {
    store::CloseKey(&m_hPresetsKey);
    store::CloseKey(&m_hRootKey);
}

UserMessage RegistryStore::BeginRecovery(const std::string& name) {
    CloseOpenKeys();

    // Deleting the tree takes every user preset with it; keep a copy the
    // user can import again.
    std::string backupPath;
    const bool backedUp = BackupStoreTree(&backupPath);

    std::string text = "The plugin could not find the " + name +
                       " registry key.  All registry entries for the plugin will be "
                       "reinitialized, please try launching the plugin again.  ";
    if (backedUp) {
        text += "A copy of the old entries was saved to " + backupPath +
                "; if the problem persists, please send it to Kestrum support.";
    } else {
        text += "If the problem persists, please contact Kestrum support.";
    }
    return {text, MessageKind::Error, kRegistryReadErrorCaption};
}

bool RegistryStore::ResetTree(UserMessage* failure) {
    platform::RegKey parent = nullptr;
    if (platform::RegOpenKey(platform::CurrentUserKey(),
                             store::ResourceString(store::kParentKeyId),
                             &parent) != platform::kErrorSuccess) {
        return true;
    }
    const long error =
        platform::RegDeleteTree(parent, store::ResourceString(store::kRootNameId));
    platform::RegCloseKey(parent);
    // A tree that is already gone is what the deletion wants.
    if (error != platform::kErrorSuccess && error != platform::kErrorFileNotFound) {
        *failure = {platform::SystemMessageText(error), MessageKind::Error,
                    kRegistryResetErrorCaption};
        return false;
    }
    return true;
}
