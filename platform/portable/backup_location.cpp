#include "platform/backup_location.h"

#include <filesystem>

#include "platform/registry.h"

namespace platform {

std::string BackupDirectory() {
    const std::filesystem::path store(RegistryFilePath());
    const std::filesystem::path folder = store.parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

}  // namespace platform
