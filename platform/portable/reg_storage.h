// The registry file on disk: one process at a time, every change on disk
// before the call returns.
//
// Each registry call opens a session: it takes an advisory lock (flock on
// "<file>.lock" beside the file), re-reads the file if anyone changed it
// since this process last saw it, and, for a change, writes the whole tree
// to "<file>.tmp", flushes it and renames it over the file. A crash at any
// point leaves either the old file or the new one. A file that cannot be
// read as a registry export is renamed aside with a time stamp, never
// deleted, and the tree starts empty.
//
// Callers serialise sessions within the process (the registry calls hold
// one mutex around them).
#pragma once

#include <string>

#include "platform/portable/reg_tree.h"

namespace platform::reg {

class Session {
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // kErrorSuccess, or the Win32 code for why the file could not be read.
    long status() const { return status_; }
    // The hives; valid while the session lasts and status() is success.
    Key& top();
    // Writes the tree as it now stands. On failure the change is forgotten:
    // the next session reads the file again.
    long Commit();

private:
    int lockFd_ = -1;
    int lockError_ = 0;  // errno of opening the lock file
    long status_ = 0;
};

std::string CurrentFilePath();
void SetFilePath(const std::string& path);
std::string TakeProblem();

// Test seam: called after the new file is flushed and before it replaces the
// old one (a test makes a child process die there).
void SetBeforeRenameHook(void (*hook)());

}  // namespace platform::reg
