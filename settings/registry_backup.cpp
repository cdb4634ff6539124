#include "settings/registry_backup.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/backup_location.h"
#include "platform/registry.h"
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

std::string QuotedName(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

void ExportKey(platform::RegKey key, const std::string& path,
               const std::vector<std::string>& valueNames, std::string* text) {
    *text += "[HKEY_CURRENT_USER\\" + path + "]\n";
    for (const std::string& name : valueNames) {
        std::uint32_t size = 0;
        if (platform::RegQueryValueSize(key, name, &size) != platform::kErrorSuccess) continue;
        std::vector<unsigned char> data(size);
        std::uint32_t type = 0;
        std::uint32_t read = size;
        if (platform::RegQueryValue(key, name, &type, data.data(), &read) !=
            platform::kErrorSuccess) {
            continue;
        }
        char head[32];
        std::snprintf(head, sizeof head, "=hex(%x):", static_cast<unsigned>(type));
        *text += QuotedName(name) + head;
        for (std::uint32_t i = 0; i < read && i < data.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", data[i]);
            *text += byte;
        }
        *text += "\n";
    }
    *text += "\n";

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
    *text = "Windows Registry Editor Version 5.00\n\n";
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
