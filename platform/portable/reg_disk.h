// The file-system work of the registry file store: examining, reading and
// writing files without following links the store does not own, the lock
// file and the generation counter in it, keeping a damaged file aside.
// Failures leave errno set unless a function says otherwise.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>

namespace platform::reg {

// What identifies one version of a file.
struct Stamp {
    bool exists = false;
    bool regular = false;
    bool directory = false;
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

// The Win32 code for an errno value, and the system's text for it.
long Win32Error(int error);
std::string Reason(int error);

std::string Directory(const std::string& path);
bool MakeDirectories(const std::string& dir);
// False when the file exists but cannot be examined; a missing one is no
// failure (`stamp->exists` is false).
bool StatFile(const std::string& path, Stamp* stamp);
// Reads no more than one byte beyond what a registry file may hold.
bool ReadWholeFile(const std::string& path, std::string* bytes);
bool WriteAll(int fd, const std::string& text);
void SyncDirectory(const std::string& dir);

// The lock file "<path>.lock", opened without following a link, checked to
// be a plain file of this user's own (so that writing the generation into
// it harms nothing), and locked. -1 with `problem` set (errno not) when it
// cannot be had.
int OpenLock(const std::string& path, std::string* problem);
// The counter in the lock file that every change of the store increments.
unsigned long long ReadGeneration(int lockFd);
void WriteGeneration(int lockFd, unsigned long long generation);

// Keeps a damaged file as "<path>.damaged-<UTC time>[-n]", never replacing
// an existing file: as a second name of the same file, so that the new file
// can then take its place in one rename, or, where the file system has no
// hard links, by renaming it. Returns the new name; empty on failure.
std::string KeepAside(const std::string& path);

// The file a change of the store at `path` replaces: `path` itself, or,
// when that is a symbolic link (a dotfile manager's), the file it names, so
// that the link stays. Empty when the link names a file in no existing
// folder.
std::string ReplacedFile(const std::string& path);

}  // namespace platform::reg
