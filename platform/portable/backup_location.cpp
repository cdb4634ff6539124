#include "platform/backup_location.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/portable/reg_disk.h"
#include "platform/registry.h"
#include "platform/registry_faults.h"

namespace platform {

std::string BackupDirectory() {
    const std::filesystem::path store(RegistryFilePath());
    const std::filesystem::path folder = store.parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

std::string WriteNewBackupFile(const std::string& folder, const std::string& stem,
                               const std::string& suffix, const std::string& text) {
    for (int number = 1; number <= kMostBackupFiles; ++number) {
        const std::string path = folder + "/" + stem + "-" + std::to_string(number) + suffix;
        const int fd = open(path.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return std::string();
        const bool written = reg::WriteAll(fd, text) && (!detail::RegistryFlushWanted() || fsync(fd) == 0);
        if (close(fd) != 0 || !written) {
            unlink(path.c_str());
            return std::string();
        }
        return path;
    }
    return std::string();
}

}  // namespace platform
