// tovana on Linux and other POSIX systems.
#include "tools/os.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include "platform/clock.h"
#include "platform/registry.h"

extern char** environ;

namespace tovana::os {
namespace {

void (*g_handler)() = nullptr;

void OnSignal(int) {
    if (g_handler != nullptr) g_handler();
}

}  // namespace

void* LoadModule(const std::string& path, std::string* error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "unknown error";
    }
    return module;
}

void* FindSymbol(void* module, const char* name) { return dlsym(module, name); }

void UnloadModule(void* module) { dlclose(module); }

std::string SelfPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    return std::string(self, static_cast<std::size_t>(length));
}

const char kSeparator = '/';

bool IsSeparator(char c) { return c == '/'; }

std::size_t LastSeparator(const std::string& path) { return path.find_last_of('/'); }

std::string Join(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory + (directory.back() == '/' ? "" : "/") + name;
}

FileKind KindOf(const std::string& path, std::string* reason) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        if (reason != nullptr) *reason = std::strerror(errno);
        return FileKind::Missing;
    }
    if (S_ISDIR(status.st_mode)) return FileKind::Directory;
    if (S_ISREG(status.st_mode)) return FileKind::File;
    return FileKind::Other;
}

bool IsReadable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

bool MakeDirectory(const std::string& path, std::string* reason) {
    if (mkdir(path.c_str(), 0777) == 0) return true;
    *reason = std::strerror(errno);
    return false;
}

std::FILE* CreateTemporaryBeside(const std::string& path, std::string* name, std::string* reason) {
    const std::string pattern = TemporaryPrefix(path, getpid()) + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return nullptr;
    }
    // Held until the file is closed: a run on another machine sharing the
    // folder cannot check this process, but sees the lock.
    flock(fd, LOCK_EX | LOCK_NB);
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        fchmod(fd, status.st_mode & 07777);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
    }
    std::FILE* file = fdopen(fd, "wb+");
    if (file == nullptr) {
        *reason = std::strerror(errno);
        close(fd);
        unlink(buffer.data());
        return nullptr;
    }
    *name = buffer.data();
    return file;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::int64_t writer = TemporaryWriter(name);
        if (writer <= 0 || writer > INT_MAX || writer == getpid()) continue;
        if (kill(static_cast<pid_t>(writer), 0) == 0 || errno == EPERM) continue;  // still running
        const int fd = openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {};
        struct stat named {};
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(dirFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == opened.st_ino &&
            named.st_dev == opened.st_dev) {
            unlinkat(dirFd, name.c_str(), 0);
        }
        close(fd);
    }
    closedir(dir);
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* reason) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    *reason = std::strerror(errno);
    return false;
}

void RemoveFile(const std::string& path) { unlink(path.c_str()); }

std::string MakeTemporaryDirectory() {
    char pattern[] = "/tmp/tovana-XXXXXX";
    return mkdtemp(pattern) != nullptr ? std::string(pattern) : std::string();
}

void RemoveEmptyDirectory(const std::string& path) { rmdir(path.c_str()); }

bool Seek(std::FILE* file, std::int64_t offset) { return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0; }

std::int64_t Length(std::FILE* file) {
    struct stat status {};
    if (fstat(fileno(file), &status) != 0) return -1;
    return status.st_size;
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) != 0; }

void UseForAudio(std::FILE*) { std::signal(SIGPIPE, SIG_IGN); }

int ProcessorCount() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<int>(count) : 1;
}

ProcessId StartProcess(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return child;
}

bool WaitForAnyProcess(ProcessId* process, int* exitStatus) {
    int result = 0;
    const pid_t done = waitpid(-1, &result, 0);
    if (done < 0) {
        // A signal arrived first: nothing ended, the caller looks again.
        *process = -1;
        return errno == EINTR;
    }
    *process = done;
    // A worker killed by a signal failed like one that reported an error.
    *exitStatus = WIFEXITED(result) ? WEXITSTATUS(result) : 2;
    return true;
}

void InterruptProcess(ProcessId process) { kill(static_cast<pid_t>(process), SIGINT); }

void InstallInterruptHandler(void (*handler)()) {
    g_handler = handler;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // A closed terminal or a kill cancels the same way, so no temporary
    // file is left behind.
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// The plug-in shares this process's platform library, and with it the seed.
void FixPluginSeed(std::optional<std::uint32_t> seed) { platform::FixRunSeed(seed); }

std::string StoreLocation() { return platform::RegistryFilePath(); }

std::string TakeStoreProblem() { return platform::TakeRegistryProblem(); }

std::string StoreReadProblem() {
    const std::string path = platform::RegistryFilePath();
    std::string reason;
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT) return "";
        reason = std::strerror(errno);
    } else if (S_ISDIR(status.st_mode)) {
        reason = "it is a directory";
    } else if (!S_ISREG(status.st_mode)) {
        reason = "it is not a regular file";
    } else {
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            reason = std::strerror(errno);
        } else {
            close(fd);
        }
    }
    return reason.empty() ? "" : "cannot read the store " + path + ": " + reason;
}

bool UseStoreIn(const std::string& directory) {
    platform::SetRegistryFilePath(directory + "/registry.reg");
    return true;
}

void RestoreStore() { platform::SetRegistryFilePath(""); }

}  // namespace tovana::os
