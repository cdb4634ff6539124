#include "settings/store_access.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/registry.h"
#include "settings/builtin_presets.h"
#include "settings/registry_store.h"

namespace store {
namespace {

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The open key below `parent`, or null; closed when the holder goes.
class Held {
public:
    Held() = default;
    ~Held() { CloseKey(&key_); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    bool Open(platform::RegKey parent, const std::string& name) {
        return parent != nullptr && platform::RegOpenKey(parent, name, &key_) == platform::kErrorSuccess;
    }
    platform::RegKey get() const { return key_; }
    platform::RegKey* put() { return &key_; }

private:
    platform::RegKey key_ = nullptr;
};

}  // namespace

std::string RootKeyPath() { return ResourceString(kRootKeyId); }

std::string PresetsKeyName(const EffectTable& table) { return ResourceString(table.presetsKeyId); }

StoredState ReadStoredState() {
    StoredState state;
    for (int e = 0; e < kEffectCount; ++e) WriteDefaults(state.settings, TableOf(e));
    Held root;
    if (!root.Open(platform::CurrentUserKey(), RootKeyPath())) return state;
    state.exists = true;
    Held init;
    if (!init.Open(root.get(), ResourceString(kInitKeyId))) {
        state.problem = ResourceString(kInitKeyId);
        return state;
    }
    double last = 0.0;
    std::uint32_t size = 0;
    const std::string lastName = ResourceString(kLastActiveEffectId);
    if (platform::RegQueryValueSize(init.get(), lastName, &size) != platform::kErrorSuccess || size == 0 ||
        !ReadSettingProblem(init.get(), lastName, &last).empty()) {
        state.problem = lastName;
    }
    // Truncated as the dialog truncates it; a value that names no page
    // (NaN, infinite, out of range) is kept as -1.
    state.lastActiveEffect = last > -1.0 && last < kEffectCount ? static_cast<int>(last) : -1;
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        const std::string problem = ReadLastSettings(init.get(), table, BlockOf(state.settings, table));
        if (state.problem.empty()) state.problem = problem;
    }
    return state;
}

std::vector<UserPreset> ReadUserPresets(EffectKind effect) {
    std::vector<UserPreset> presets;
    const EffectTable& table = TableOf(effect);
    Held root;
    Held list;
    if (!root.Open(platform::CurrentUserKey(), RootKeyPath()) || !list.Open(root.get(), PresetsKeyName(table))) {
        return presets;
    }
    std::vector<std::string> names;
    PresetNames(list.get(), &names);
    for (const std::string& name : names) {
        UserPreset preset;
        preset.name = name;
        preset.block.assign(table.settingCount, 0.0);
        for (std::size_t i = 0; i < table.settingCount; ++i) preset.block[i] = table.settings[i].defaultValue;
        preset.problem = ReadPreset(list.get(), name, table, preset.block.data());
        presets.push_back(std::move(preset));
    }
    return presets;
}

std::vector<ListedPreset> PresetList(EffectKind effect, const std::vector<UserPreset>& user) {
    const EffectTable& table = TableOf(effect);
    std::vector<ListedPreset> list;
    const BuiltInPresetList builtIns = BuiltInPresetsOf(effect);
    for (std::size_t i = 0; i < builtIns.count; ++i) {
        ListedPreset entry;
        entry.name = builtIns.presets[i].name;
        entry.builtIn = true;
        for (std::size_t r = 0; r < table.settingCount; ++r) {
            entry.block.push_back(BlockValue(builtIns.presets[i].block, table.settings[r]));
        }
        list.push_back(std::move(entry));
    }
    for (const UserPreset& preset : user) {
        auto same = std::find_if(list.begin(), list.end(),
                                 [&](const ListedPreset& entry) { return entry.name == preset.name; });
        ListedPreset entry;
        entry.name = preset.name;
        entry.block = preset.block;
        if (same != list.end()) {
            entry.replacesBuiltIn = same->builtIn;
            *same = std::move(entry);
        } else {
            list.push_back(std::move(entry));
        }
    }
    std::stable_sort(list.begin(), list.end(), [](const ListedPreset& a, const ListedPreset& b) {
        return CompareNoCase(a.name, b.name) < 0;
    });
    return list;
}

bool WriteUserPresets(std::vector<PresetToStore>* presets, WriteFailure* failure) {
    platform::RegistryBatch batch;
    const auto failed = [&](long code, const std::string& what) {
        if (code == platform::kErrorSuccess) return false;
        *failure = {what, code, ""};
        return true;
    };
    Held root;
    if (failed(platform::RegOpenKey(platform::CurrentUserKey(), RootKeyPath(), root.put()), "the presets")) {
        return false;
    }
    for (PresetToStore& preset : *presets) {
        const EffectTable& table = TableOf(preset.effect);
        const std::string what = std::string("the ") + table.name + " preset '" + preset.name + "'";
        Held list;
        if (failed(platform::RegCreateKey(root.get(), PresetsKeyName(table), list.put()), what)) return false;
        {
            Held existing;
            preset.replaced = existing.Open(list.get(), preset.name);
        }
        // A preset replaced is written over in place: where a registry takes
        // each value on its own (Windows), it is never seen incomplete.
        Held key;
        if (failed(platform::RegCreateKey(list.get(), preset.name, key.put()), what)) return false;
        for (std::size_t r = 1; r < table.settingCount; ++r) {
            if (failed(platform::RegSetValue(key.get(), SettingName(table.settings[r]), platform::kRegNone,
                                             &preset.block[r], sizeof preset.block[r]),
                       what)) {
                return false;
            }
        }
    }
    const long stored = batch.Commit();
    if (stored != platform::kErrorSuccess) {
        *failure = {"", stored, platform::TakeRegistryWriteProblem()};
        return false;
    }
    return true;
}

regfile::Key* PresetsKeyIn(regfile::Key& top, const EffectTable& table, bool create) {
    const std::string path = std::string(regfile::kCurrentUserHive) + "\\" + RootKeyPath() + "\\" +
                             PresetsKeyName(table);
    regfile::Key* key = &top;
    std::size_t start = 0;
    while (key != nullptr && start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        const std::string part = path.substr(start, end - start);
        key = create ? key->AddSubkey(part) : key->FindSubkey(part);
        start = end + 1;
    }
    return key;
}

void AddToExport(regfile::Key& top, const EffectTable& table, const UserPreset& preset) {
    regfile::Key* key = PresetsKeyIn(top, table, true)->AddSubkey(preset.name);
    for (std::size_t r = 1; r < table.settingCount; ++r) {
        unsigned char data[8];
        std::memcpy(data, &preset.block[r], sizeof data);
        key->SetValue(SettingName(table.settings[r]), platform::kRegNone, data, sizeof data);
    }
}

}  // namespace store
