#include "settings/registry_backup.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/backup_location.h"
#include "platform/registry.h"
#include "regfile/reg_text.h"
#include "settings/registry_store.h"
#include "settings/setting_tables.h"

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// Every value name the plug-in ever writes. The registry offers no way to
// list a key's values through our layer, so the export asks each key for
// these.
std::vector<std::string> KnownValueNames() {
    std::vector<std::string> names{store::ResourceString(store::kLastActiveEffectId)};
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const EffectTable& table = TableOf(effect);
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            const std::string name = SettingName(table.settings[i]);
            const bool known = std::any_of(names.begin(), names.end(), [&](const std::string& n) {
                return SameNameIgnoringCase(n, name);
            });
            if (!known) names.push_back(name);
        }
    }
    return names;
}

void ExportKey(platform::RegKey key, const std::string& path,
               const std::vector<std::string>& valueNames, std::string* text) {
    std::vector<regfile::Value> values;
    for (const std::string& name : valueNames) {
        std::uint32_t size = 0;
        if (platform::RegQueryValueSize(key, name, &size) != platform::kErrorSuccess) continue;
        regfile::Value value;
        value.name = name;
        value.data.resize(size);
        std::uint32_t read = size;
        if (platform::RegQueryValue(key, name, &value.type, value.data.data(), &read) !=
            platform::kErrorSuccess) {
            continue;
        }
        if (read < value.data.size()) value.data.resize(read);
        values.push_back(std::move(value));
    }
    regfile::AppendRawSection("HKEY_CURRENT_USER\\" + path, values, text);

    std::uint32_t longest = 0;
    if (platform::RegQueryMaxSubKeyLength(key, &longest) != platform::kErrorSuccess) return;
    std::vector<char> buffer(longest + 1);
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
        if (platform::RegEnumKey(key, index, buffer.data(), &length) != platform::kErrorSuccess) {
            break;
        }
        const std::string name(buffer.data(), length);
        platform::RegKey child = nullptr;
        if (platform::RegOpenKey(key, name, &child) != platform::kErrorSuccess) continue;
        ExportKey(child, path + "\\" + name, valueNames, text);
        platform::RegCloseKey(child);
    }
}

}  // namespace

bool ExportStoreTree(const std::string& rootPath, std::string* text) {
    platform::RegKey root = nullptr;
    if (platform::RegOpenKey(platform::CurrentUserKey(), rootPath, &root) !=
        platform::kErrorSuccess) {
        return false;
    }
    *text = regfile::FileHeader();
    ExportKey(root, rootPath, KnownValueNames(), text);
    platform::RegCloseKey(root);
    return true;
}

bool BackupStoreTree(std::string* path) {
    std::string text;
    if (!ExportStoreTree(store::ResourceString(store::kRootKeyId), &text)) return false;

    std::error_code error;
    const std::string folder = platform::BackupDirectory();
    std::filesystem::create_directories(folder, error);
    // Earlier backups are never overwritten.
    *path = platform::WriteNewBackupFile(folder, "tovana-registry-backup", ".reg", text);
    return !path->empty();
}
