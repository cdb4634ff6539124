// What tovana needs from the operating system, in one place: loading the
// plug-in, finding itself, files and folders, worker processes and the
// interrupt. os_posix.cpp and os_win32.cpp implement it; the build picks
// one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tovana::os {

// --- Modules ------------------------------------------------------------------

// Null with a readable reason when the file cannot be loaded.
void* LoadModule(const std::string& path, std::string* error);
void* FindSymbol(void* module, const char* name);
void UnloadModule(void* module);

// The running executable; empty when it cannot be told.
std::string SelfPath();

// --- Paths ----------------------------------------------------------------------

// The separator put between a folder and a name.
extern const char kSeparator;
bool IsSeparator(char c);
// Position of the last separator, npos when there is none.
std::size_t LastSeparator(const std::string& path);
// `directory` and `name` with one separator between them.
std::string Join(const std::string& directory, const std::string& name);

// --- Files and folders ------------------------------------------------------------

enum class FileKind { Missing, File, Directory, Other };
// Missing also when the path cannot be examined; `reason` then says why.
FileKind KindOf(const std::string& path, std::string* reason = nullptr);
bool IsReadable(const std::string& path);
bool MakeDirectory(const std::string& path, std::string* reason);
// A new hidden file beside `path` in which `path` is written before it
// takes its name: ".NAME.tovana-<process id>-XXXXXX", opened for writing in
// binary mode, with the permissions of `path` when that exists (else the
// usual ones for a new file). While it is open (on POSIX it holds a lock)
// or its process lives, RemoveStaleTemporaries leaves it alone.
std::FILE* CreateTemporaryBeside(const std::string& path, std::string* name, std::string* reason);
// That naming, shared by both systems: the name before the unique part for
// `path` and `process`, and the process that a bare file name (no folder)
// of that naming carries, -1 for any other name.
std::string TemporaryPrefix(const std::string& path, std::int64_t process);
std::int64_t TemporaryWriter(const std::string& name);
// Removes the files of that naming in the folder of `path` that a run
// killed while writing left behind: those whose process is gone and which
// nobody holds open.
void RemoveStaleTemporaries(const std::string& path);
// Puts `from` in place of `to`, replacing what is there.
bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* reason);
void RemoveFile(const std::string& path);
// A new empty folder for temporary files; empty when none can be made.
std::string MakeTemporaryDirectory();
void RemoveEmptyDirectory(const std::string& path);
// Positions beyond 2 GiB too.
bool Seek(std::FILE* file, std::int64_t offset);
// The length of an open file in bytes; -1 when it cannot be told.
std::int64_t Length(std::FILE* file);

bool IsTerminal(std::FILE* stream);
// Standard input or output carrying audio: binary mode, and a reader that
// went away makes writes fail instead of ending the process.
void UseForAudio(std::FILE* stream);
int ProcessorCount();

// --- Worker processes ---------------------------------------------------------------

using ProcessId = std::int64_t;
// Starts `program` with `args` (without the program itself); -1 when it
// cannot be started.
ProcessId StartProcess(const std::string& program, const std::vector<std::string>& args);
// Waits until one of the processes started and not yet collected ends.
// False when there is none or waiting fails; true with `process` -1 when an
// interrupt ended the wait first.
bool WaitForAnyProcess(ProcessId* process, int* exitStatus);
// Asks a worker to stop as Ctrl-C would.
void InterruptProcess(ProcessId process);

// --- Interrupt and seed ------------------------------------------------------------

// Ctrl-C (and the other ways a console or session ends a program) calls
// `handler` instead of ending the process.
void InstallInterruptHandler(void (*handler)());

// The seed the plug-in uses for its next runs; nullopt releases it.
void FixPluginSeed(std::optional<std::uint32_t> seed);

// --- The plug-in's store ----------------------------------------------------------

// Where the plug-in keeps its settings, for messages.
std::string StoreLocation();
// What the store found about a file it could not read whole, once (see
// platform::TakeRegistryProblem); empty when there is nothing to tell.
std::string TakeStoreProblem();
// Why the store cannot be read at all (a folder in its place, no
// permission), in a line naming it; empty when it can be read or does not
// exist yet.
std::string StoreReadProblem();
// Points the plug-in's store at a file in `directory` for as long as the
// returned value is true and until RestoreStore(); false where the store
// cannot be redirected.
bool UseStoreIn(const std::string& directory);
void RestoreStore();

}  // namespace tovana::os
