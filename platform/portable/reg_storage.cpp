#include "platform/portable/reg_storage.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/portable/reg_file.h"
#include "platform/registry.h"
#include "platform/registry_faults.h"

namespace platform::reg {
namespace {

constexpr long kErrorPathNotFound = 3;
constexpr long kErrorNotEnoughMemory = 14;
constexpr long kErrorDiskFull = 112;
constexpr long kErrorRegistryCorrupt = 1015;
constexpr long kErrorRegistryIoFailed = 1016;

struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const Stamp& o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

// What this process last read or wrote. It stays valid while the file keeps
// its stamp and the lock file its generation, a counter every writer
// increments: the stamp alone can repeat when a freed inode is reused
// within the file system's clock tick.
struct Cache {
    std::string path;
    bool loaded = false;
    bool blocked = false;  // a damaged file could not be moved aside
    unsigned long long generation = 0;
    Stamp stamp;
    Key top;
};

Cache g_cache;
std::string g_pathOverride;
std::string g_problem;
void (*g_beforeRename)() = nullptr;

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

// False with errno set when the file exists but cannot be examined.
bool StatFile(const std::string& path, Stamp* stamp) {
    struct stat info;
    *stamp = Stamp();
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT || errno == ENOTDIR;
    stamp->exists = true;
    stamp->device = info.st_dev;
    stamp->inode = info.st_ino;
    stamp->size = info.st_size;
    stamp->modified = info.st_mtim;
    stamp->changed = info.st_ctim;
    return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes->clear();
    char buffer[65536];
    while (true) {
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

std::string TimeSuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

// Renames a damaged file to "<file>.damaged-<UTC time>[-n]" without ever
// replacing an existing file. Returns the new name, or empty with errno.
std::string MoveAside(const std::string& path) {
    const std::string base = path + ".damaged-" + TimeSuffix();
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = n == 0 ? base : base + "-" + std::to_string(n);
        if (link(path.c_str(), candidate.c_str()) == 0) {
            unlink(path.c_str());
            SyncDirectory(Directory(path));
            return candidate;
        }
        if (errno == EEXIST) continue;
        // A file system without hard links: check, then rename.
        struct stat info;
        if (lstat(candidate.c_str(), &info) == 0) continue;
        if (rename(path.c_str(), candidate.c_str()) == 0) {
            SyncDirectory(Directory(path));
            return candidate;
        }
        return std::string();
    }
    errno = EEXIST;
    return std::string();
}

// Rereads the file into the cache when someone changed it.
long Refresh(int lockFd) {
    const unsigned long long generation = ReadGeneration(lockFd);
    Stamp stamp;
    if (!StatFile(g_cache.path, &stamp)) return Win32Error(errno);
    if (g_cache.loaded && generation == g_cache.generation && stamp == g_cache.stamp)
        return kErrorSuccess;

    g_cache.loaded = false;
    g_cache.blocked = false;
    g_cache.top = Key();
    if (stamp.exists) {
        std::string bytes;
        if (!ReadWholeFile(g_cache.path, &bytes)) return Win32Error(errno);
        std::string reason;
        if (!ParseRegFile(bytes, &g_cache.top, &reason)) {
            g_cache.top = Key();
            const std::string aside = MoveAside(g_cache.path);
            g_problem = "The registry file " + g_cache.path + " could not be read (" + reason + ")";
            if (aside.empty()) {
                g_problem +=
                    " and could not be moved aside (" + std::string(std::strerror(errno)) +
                    "); it is left as it is and nothing is saved until it is repaired or removed.";
                g_cache.blocked = true;
            } else {
                g_problem += "; it was moved to " + aside + " and the settings start afresh.";
                if (!StatFile(g_cache.path, &stamp)) return Win32Error(errno);
            }
        }
    }
    g_cache.top.AddSubkey(kCurrentUserHive);
    g_cache.generation = generation;
    g_cache.stamp = stamp;
    g_cache.loaded = true;
    return kErrorSuccess;
}

}  // namespace

std::string CurrentFilePath() {
    if (!g_pathOverride.empty()) return g_pathOverride;
    const char* fromEnvironment = std::getenv(kRegistryEnvironmentVariable);
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
    std::string base;
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* user = getpwuid(getuid());
            home = user != nullptr ? user->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    return base + "/zentrix-tovana/registry.reg";
}

void SetFilePath(const std::string& path) {
    g_pathOverride = path;
    g_cache.loaded = false;  // read afresh, even when the path comes back
}

std::string TakeProblem() {
    std::string problem;
    problem.swap(g_problem);
    return problem;
}

void SetBeforeRenameHook(void (*hook)()) { g_beforeRename = hook; }

Session::Session() {
    const std::string path = CurrentFilePath();
    if (path != g_cache.path) {
        g_cache = Cache();
        g_cache.path = path;
    }
    const std::string dir = Directory(path);
    if (!MakeDirectories(dir)) {
        // The folder cannot be made: a reading call sees whatever is
        // there (usually nothing), a writing one fails at Commit.
        lockError_ = errno;
        status_ = Refresh(-1);
        return;
    }
    lockFd_ = open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) lockError_ = errno;
    if (lockFd_ >= 0) {
        while (flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    // Without a lock file (a read-only folder) the file can still be read.
    status_ = Refresh(lockFd_);
}

Session::~Session() {
    if (lockFd_ >= 0) close(lockFd_);  // releases the lock
}

Key& Session::top() { return g_cache.top; }

long Session::Commit() {
    if (g_cache.blocked) return kErrorRegistryCorrupt;
    const auto fail = [](int error) {
        g_cache.loaded = false;
        return Win32Error(error);
    };
    if (lockFd_ < 0) return fail(lockError_ != 0 ? lockError_ : EACCES);

    // A link to the file elsewhere stays a link; the file it names is replaced.
    std::string target = g_cache.path;
    char resolved[PATH_MAX];
    struct stat info;
    if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
        realpath(target.c_str(), resolved) != nullptr) {
        target = resolved;
    }
    mode_t mode = 0600;
    if (stat(target.c_str(), &info) == 0) mode = info.st_mode & 07777;

    const std::string text = FormatRegFile(g_cache.top);
    const std::string temporary = target + ".tmp";
    unlink(temporary.c_str());  // left behind by a crash
    const int fd =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return fail(errno);
    const bool flush = detail::RegistryFlushWanted();
    if (fchmod(fd, mode) != 0 || !WriteAll(fd, text) || (flush && fsync(fd) != 0)) {
        const int error = errno;
        close(fd);
        unlink(temporary.c_str());
        return fail(error);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return fail(error);
    }
    if (g_beforeRename != nullptr) g_beforeRename();
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return fail(error);
    }
    if (flush) SyncDirectory(Directory(target));

    Stamp stamp;
    if (!StatFile(g_cache.path, &stamp)) return fail(errno);
    g_cache.stamp = stamp;
    g_cache.generation = ReadGeneration(lockFd_) + 1;
    WriteGeneration(lockFd_, g_cache.generation);
    return kErrorSuccess;
}

}  // namespace platform::reg
