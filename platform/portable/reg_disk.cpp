#include "platform/portable/reg_disk.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/portable/reg_names.h"
#include "platform/registry.h"

namespace platform::reg {
namespace {

constexpr long kErrorPathNotFound = 3;
constexpr long kErrorNotEnoughMemory = 14;
constexpr long kErrorDiskFull = 112;
constexpr long kErrorRegistryIoFailed = 1016;

std::string TimeSuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

}  // namespace

std::string Reason(int error) { return std::strerror(error); }

long Win32Error(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return kErrorAccessDenied;
        case ENOENT:
        case ENOTDIR:
            return kErrorPathNotFound;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        default:
            return kErrorRegistryIoFailed;
    }
}

std::string Directory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeDirectories(const std::string& dir) {
    struct stat info;
    if (stat(dir.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    const std::string parent = Directory(dir);
    if (parent != dir && !MakeDirectories(parent)) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool StatFile(const std::string& path, Stamp* stamp) {
    struct stat info;
    *stamp = Stamp();
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR;
    stamp->exists = true;
    stamp->regular = S_ISREG(info.st_mode);
    stamp->directory = S_ISDIR(info.st_mode);
    stamp->device = info.st_dev;
    stamp->inode = info.st_ino;
    stamp->size = info.st_size;
    stamp->modified = info.st_mtim;
    stamp->changed = info.st_ctim;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    bytes->clear();
    char buffer[65536];
    while (bytes->size() <= kMaxFileBytes) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            errno = error;
            return false;
        }
        if (n == 0) break;
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void SyncDirectory(const std::string& dir) {
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

unsigned long long ReadGeneration(int lockFd) {
    if (lockFd < 0) return 0;
    char text[32] = {};
    if (pread(lockFd, text, sizeof text - 1, 0) <= 0) return 0;
    return std::strtoull(text, nullptr, 10);
}

void WriteGeneration(int lockFd, unsigned long long generation) {
    if (lockFd < 0) return;
    const std::string text = std::to_string(generation) + "\n";
    if (pwrite(lockFd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
        if (ftruncate(lockFd, static_cast<off_t>(text.size())) != 0) {
            // A longer stale tail only changes the number read back, which
            // is all a reader compares.
        }
    }
}

std::string KeepAside(const std::string& path) {
    const std::string base = path + ".damaged-" + TimeSuffix();
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = n == 0 ? base : base + "-" + std::to_string(n);
        if (link(path.c_str(), candidate.c_str()) == 0) return candidate;
        if (errno == EEXIST) continue;
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0)
            return candidate;
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) return std::string();
        // Nor a rename that refuses to replace: look, then rename, under
        // the store's lock.
        struct stat info;
        if (lstat(candidate.c_str(), &info) == 0) continue;
        if (rename(path.c_str(), candidate.c_str()) == 0) return candidate;
        return std::string();
    }
    errno = EEXIST;
    return std::string();
}

std::string ReplacedFile(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = readlink(path.c_str(), target.data(), PATH_MAX);
    if (length <= 0) return std::string();
    std::string named(target.data(), static_cast<std::size_t>(length));
    if (named[0] != '/') named = Directory(path) + "/" + named;
    if (realpath(Directory(named).c_str(), resolved) == nullptr) return std::string();
    return std::string(resolved) + "/" + named.substr(named.rfind('/') + 1);
}

int OpenLock(const std::string& path, std::string* problem) {
    const std::string lock = path + ".lock";
    const int fd = open(lock.c_str(),
                        O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) {
        *problem = errno == ELOOP
                       ? "its lock file " + lock + " is a symbolic link, which is not followed"
                       : "its lock file " + lock + " cannot be opened (" + Reason(errno) + ")";
        return -1;
    }
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
        info.st_uid != geteuid()) {
        close(fd);
        *problem = "its lock file " + lock + " is not a plain file of this user's own";
        return -1;
    }
    while (flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        *problem = "its lock file " + lock + " cannot be locked (" + Reason(errno) + ")";
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace platform::reg
