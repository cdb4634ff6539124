// The registry file on disk: one process at a time, every change on disk
// before the call returns, or, in a batch, before the batch ends.
//
// Each registry call opens a session: it takes an advisory lock (flock on
// "<file>.lock" beside the file), re-reads the file if anyone changed it
// since this process last saw it, and, for a change, writes the whole tree
// to "<file>.tmp", flushes it and renames it over the file. A crash at any
// point leaves either the old file or the new one. Inside a batch the
// sessions share the batch's lock and tree, and only the batch's end writes.
//
// Reading never changes the file. A file that cannot be read whole is
// salvaged (see SalvageRegFile) and mended by the repair rules; the first
// change after that keeps the damaged file as "<file>.damaged-<UTC time>"
// beside it, never replacing another file, before the new file takes its
// place. Nothing the store writes follows a symbolic link, except the store
// file itself: when it is one, the file it names is replaced.
//
// Callers serialise sessions within the process (the registry calls hold
// one mutex around them).
#pragma once

#include <string>

#include "platform/portable/reg_names.h"

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
    // Writes the tree as it now stands; in a batch, leaves that to its end.
    // On failure the change is forgotten: the next session reads the file
    // again.
    long Commit();
    // For a change refused because the file cannot be read: notes why for
    // TakeWriteProblem and returns status().
    long Refuse();
    // True while the tree is a damaged file's salvage: a write, even of
    // what the tree holds already, then stores it.
    bool Salvaged() const;

private:
    bool joined_ = false;  // a session of the open batch
    int lockFd_ = -1;
    std::string lockProblem_;  // why there is no lock, when there is none
    long status_ = 0;
};

std::string CurrentFilePath();
void SetFilePath(const std::string& path);
std::string TakeProblem();
std::string TakeWriteProblem();

void BeginBatch();
long EndBatch();
void AbandonBatch();

// Test seam: called after the new file is flushed and before it replaces the
// old one (a test makes a child process die there).
void SetBeforeRenameHook(void (*hook)());

}  // namespace platform::reg
