#include "tools/store_view.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/registry.h"
#include "settings/builtin_presets.h"
#include "settings/registry_store.h"
#include "tools/commands.h"
#include "tools/os.h"
#include "ui/resources.h"

namespace tovana {
namespace {

using store::kInitKeyId;
using store::kLastActiveEffectId;
using store::kRootKeyId;

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_ != nullptr) platform::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool Open(platform::RegKey parent, const std::string& name) {
        return parent != nullptr && platform::RegOpenKey(parent, name, &key_) == platform::kErrorSuccess;
    }
    platform::RegKey get() const { return key_; }

private:
    platform::RegKey key_ = nullptr;
};

// The plug-in's own reading rule: missing, a size other than 0 or 8, or a
// failing read is a failure; size 0 keeps the value.
bool ReadDouble(platform::RegKey key, const std::string& name, double* value) {
    try {
        store::ReadSetting(key, name, value);
        return true;
    } catch (const std::string&) {
        return false;
    }
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

}  // namespace

std::string StoreString(unsigned id) {
    const char* text = resources::FindString(id);
    return text != nullptr ? text : std::string();
}

std::string RootKeyPath() { return StoreString(kRootKeyId); }

std::string PresetsKeyName(const EffectTable& table) { return StoreString(table.presetsKeyId); }

StoredState ReadStoredState() {
    StoredState state;
    for (int e = 0; e < kEffectCount; ++e) WriteDefaults(state.settings, TableOf(e));
    Key root;
    if (!root.Open(platform::CurrentUserKey(), RootKeyPath())) return state;
    state.exists = true;
    Key init;
    if (!init.Open(root.get(), StoreString(kInitKeyId))) {
        state.problem = StoreString(kInitKeyId);
        return state;
    }
    double last = 0.0;
    std::uint32_t size = 0;
    const std::string lastName = StoreString(kLastActiveEffectId);
    if (platform::RegQueryValueSize(init.get(), lastName, &size) != platform::kErrorSuccess || size == 0 ||
        !ReadDouble(init.get(), lastName, &last)) {
        state.problem = lastName;
    }
    // Truncated as the dialog truncates it; a value that names no page
    // (NaN, infinite, out of range) is kept as -1.
    state.lastActiveEffect = last > -1.0 && last < kEffectCount ? static_cast<int>(last) : -1;
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        Key block;
        if (!block.Open(init.get(), StoreString(table.lastSettingsKeyId))) {
            if (state.problem.empty()) state.problem = StoreString(table.lastSettingsKeyId);
            continue;
        }
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            const SettingInfo& row = table.settings[i];
            if (!ReadDouble(block.get(), SettingName(row), &SettingValue(state.settings, table, row)) &&
                state.problem.empty()) {
                state.problem = SettingName(row);
            }
        }
    }
    return state;
}

void ReportStoreProblems() {
    for (std::string problem = os::TakeStoreProblem(); !problem.empty(); problem = os::TakeStoreProblem()) {
        std::fprintf(stderr, "tovana: %s\n", Printable(problem).c_str());
    }
}

std::vector<UserPreset> ReadUserPresets(EffectKind effect) {
    std::vector<UserPreset> presets;
    const EffectTable& table = TableOf(effect);
    Key root;
    Key list;
    if (!root.Open(platform::CurrentUserKey(), RootKeyPath()) || !list.Open(root.get(), PresetsKeyName(table))) {
        return presets;
    }
    std::uint32_t longest = 0;
    platform::RegQueryMaxSubKeyLength(list.get(), &longest);
    std::vector<char> name(longest + 2);
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = static_cast<std::uint32_t>(name.size());
        if (platform::RegEnumKey(list.get(), index, name.data(), &length) != platform::kErrorSuccess) break;
        UserPreset preset;
        preset.name.assign(name.data(), length);
        preset.block.assign(table.settingCount, 0.0);
        for (std::size_t i = 0; i < table.settingCount; ++i) preset.block[i] = table.settings[i].defaultValue;
        Key key;
        if (!key.Open(list.get(), preset.name)) {
            preset.problem = preset.name;
        } else {
            for (std::size_t i = 1; i < table.settingCount; ++i) {
                const SettingInfo& row = table.settings[i];
                if (!ReadDouble(key.get(), SettingName(row), &preset.block[i]) && preset.problem.empty()) {
                    preset.problem = SettingName(row);
                }
            }
        }
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

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

int EffectByName(const std::string& text) {
    for (int e = 0; e < kEffectCount; ++e) {
        if (Lower(TableOf(e).name) == Lower(text)) return e;
    }
    return -1;
}

std::string EffectChoices() {
    std::string choices;
    for (int e = 0; e < kEffectCount; ++e) {
        if (!choices.empty()) choices += ", ";
        choices += Lower(TableOf(e).name);
    }
    return choices;
}

}  // namespace tovana
