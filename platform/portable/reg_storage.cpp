#include "platform/portable/reg_storage.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/portable/reg_disk.h"
#include "platform/portable/reg_names.h"
#include "platform/portable/reg_repair.h"
#include "platform/registry.h"
#include "platform/registry_faults.h"

namespace platform::reg {
namespace {

constexpr long kErrorRegistryIoFailed = 1016;
constexpr long kErrorCancelled = 1223;

// What this process last read or wrote. It stays valid while the file keeps
// its stamp and the lock file its generation, a counter every writer
// increments: the stamp alone can repeat when a freed inode is reused
// within the file system's clock tick.
struct Cache {
    std::string path;
    bool loaded = false;
    bool damaged = false;  // salvaged from a damaged file, kept aside at the next change
    std::string damage;    // what was read and lost, as the problem tells it
    unsigned long long generation = 0;
    Stamp stamp;
    Key top;
};

// The open batch: its sessions share its lock and write nothing.
struct Batch {
    int depth = 0;
    bool abandoned = false;
    bool dirty = false;
    int lockFd = -1;
    std::string lockProblem;
    long status = 0;
};

Cache g_cache;
Batch g_batch;
std::string g_pathOverride;
std::string g_problem;
std::string g_writeProblem;
std::string g_unreadable;  // why the file cannot be read, while it cannot
void (*g_beforeRename)() = nullptr;

void NoteWriteProblem(const std::string& what) {
    g_writeProblem = "The registry file " + g_cache.path + " could not be changed: " + what + ".";
}

// Notes why the file cannot be read and returns the code for it.
long Unreadable(const std::string& why, long error) {
    g_unreadable = why;
    g_problem = "The registry file " + g_cache.path + " cannot be read (" + why +
                "); nothing is read from it or stored in it until that is mended.";
    return error;
}

// Rereads the file into the cache when someone changed it.
long Refresh(int lockFd) {
    const unsigned long long generation = ReadGeneration(lockFd);
    Stamp stamp;
    if (!StatFile(g_cache.path, &stamp)) return Unreadable(Reason(errno), Win32Error(errno));
    if (g_cache.loaded && generation == g_cache.generation && stamp == g_cache.stamp)
        return kErrorSuccess;

    g_cache.loaded = false;
    g_cache.damaged = false;
    g_cache.damage.clear();
    g_cache.top = Key();
    if (stamp.directory) return Unreadable(Reason(EISDIR), kErrorRegistryIoFailed);
    if (stamp.exists && !stamp.regular) {
        return Unreadable("it is not a regular file", kErrorRegistryIoFailed);
    }
    if (stamp.exists) {
        std::string bytes;
        if (!ReadWholeFile(g_cache.path, &bytes)) return Unreadable(Reason(errno), Win32Error(errno));
        SalvageReport report;
        if (!SalvageRegFile(bytes, &g_cache.top, &report)) {
            const Mending mending = Mend(&g_cache.top, report);
            g_cache.damaged = true;
            g_cache.damage = DescribeDamage(g_cache.path, report, mending);
            g_problem = g_cache.damage + "the damaged file is left as it is until the next change.";
        }
    }
    g_unreadable.clear();
    g_cache.top.AddSubkey(kCurrentUserHive);
    g_cache.generation = generation;
    g_cache.stamp = stamp;
    g_cache.loaded = true;
    return kErrorSuccess;
}

// Takes the lock (when it can be had) and brings the cache up to date.
long Acquire(int* lockFd, std::string* lockProblem) {
    const std::string path = CurrentFilePath();
    if (path != g_cache.path) {
        g_cache = Cache();
        g_cache.path = path;
    }
    *lockFd = -1;
    lockProblem->clear();
    const std::string dir = Directory(path);
    if (!MakeDirectories(dir)) {
        *lockProblem = "its folder " + dir + " cannot be made (" + Reason(errno) + ")";
    } else {
        *lockFd = OpenLock(path, lockProblem);
    }
    // Without a lock (a read-only folder, say) the file can still be read.
    return Refresh(*lockFd);
}

// Writes the tree in place of the file: a new file beside it, flushed, then
// renamed over it. A damaged file is kept aside first.
long Store(int lockFd, const std::string& lockProblem) {
    const auto fail = [](const std::string& what, int error) {
        g_cache.loaded = false;
        NoteWriteProblem(what);
        return Win32Error(error);
    };
    if (lockFd < 0) return fail(lockProblem, EACCES);

    const std::string target = ReplacedFile(g_cache.path);
    if (target.empty()) return fail("it is a symbolic link into a folder that does not exist", ENOENT);
    mode_t mode = 0600;
    struct stat info;
    if (stat(target.c_str(), &info) == 0) mode = info.st_mode & 07777;

    const std::string text = FormatRegFile(g_cache.top);
    const std::string temporary = target + ".tmp";
    unlink(temporary.c_str());  // left behind by a crash
    const int fd = open(temporary.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0) return fail("cannot create " + temporary + " (" + Reason(errno) + ")", errno);
    const bool flush = detail::RegistryFlushWanted();
    if (fchmod(fd, mode) != 0 || !WriteAll(fd, text) || (flush && fsync(fd) != 0)) {
        const int error = errno;
        close(fd);
        unlink(temporary.c_str());
        return fail("cannot write " + temporary + " (" + Reason(error) + ")", error);
    }
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return fail("cannot write " + temporary + " (" + Reason(error) + ")", error);
    }
    std::string aside;
    if (g_cache.damaged) {
        aside = KeepAside(target);
        if (aside.empty()) {
            const int error = errno;
            unlink(temporary.c_str());
            return fail("the damaged file cannot be kept aside (" + Reason(error) + ")", error);
        }
    }
    if (g_beforeRename != nullptr) g_beforeRename();
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return fail("cannot replace " + target + " (" + Reason(error) + ")", error);
    }
    if (flush) SyncDirectory(Directory(target));
    if (g_cache.damaged) {
        g_problem = g_cache.damage + "the damaged file was kept as " + aside + ".";
        g_cache.damaged = false;
    }

    Stamp stamp;
    if (!StatFile(g_cache.path, &stamp)) return fail(Reason(errno), errno);
    g_cache.stamp = stamp;
    g_cache.generation = ReadGeneration(lockFd) + 1;
    WriteGeneration(lockFd, g_cache.generation);
    return kErrorSuccess;
}

void ReleaseBatch() {
    if (g_batch.lockFd >= 0) close(g_batch.lockFd);  // releases the lock
    g_batch.lockFd = -1;
    g_batch.lockProblem.clear();
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

std::string TakeWriteProblem() {
    std::string problem;
    problem.swap(g_writeProblem);
    return problem;
}

void BeginBatch() {
    if (g_batch.depth++ > 0) return;
    g_batch.abandoned = false;
    g_batch.dirty = false;
    g_batch.status = Acquire(&g_batch.lockFd, &g_batch.lockProblem);
}

long EndBatch() {
    if (g_batch.depth == 0 || --g_batch.depth > 0) return kErrorSuccess;
    long error = kErrorSuccess;
    if (g_batch.abandoned) {
        // An inner batch was abandoned: the whole batch goes.
        g_cache.loaded = false;
        error = kErrorCancelled;
    } else if (g_batch.dirty) {
        error = Store(g_batch.lockFd, g_batch.lockProblem);
    }
    ReleaseBatch();
    return error;
}

void AbandonBatch() {
    if (g_batch.depth == 0) return;
    g_batch.abandoned = true;
    if (--g_batch.depth > 0) return;
    g_cache.loaded = false;  // the next session reads the file again
    ReleaseBatch();
}

void SetBeforeRenameHook(void (*hook)()) { g_beforeRename = hook; }

Session::Session() {
    if (g_batch.depth > 0) {
        joined_ = true;
        lockFd_ = g_batch.lockFd;
        lockProblem_ = g_batch.lockProblem;
        status_ = g_batch.status;
        return;
    }
    status_ = Acquire(&lockFd_, &lockProblem_);
}

Session::~Session() {
    if (!joined_ && lockFd_ >= 0) close(lockFd_);  // releases the lock
}

Key& Session::top() { return g_cache.top; }

long Session::Commit() {
    if (!joined_) return Store(lockFd_, lockProblem_);
    g_batch.dirty = true;
    return kErrorSuccess;
}

bool Session::Salvaged() const { return g_cache.damaged; }

long Session::Refuse() {
    NoteWriteProblem("it cannot be read (" + g_unreadable + ")");
    return status_;
}

}  // namespace platform::reg
