// The registry under the current user's hive, with Win32 meanings.
//
// Every call returns a Win32 error code (kErrorSuccess on success). Key and
// value names compare without regard to case and keep the case they were
// created with; a backslash in a subkey name passed to open or create
// separates path elements. On Windows these forward to advapi32/shlwapi;
// elsewhere a store kept in one file in the registry export format stands in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

using RegKey = void*;  // an HKEY on Windows

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorKeyDeleted = 1018;

constexpr std::uint32_t kRegNone = 0;

// The predefined key HKEY_CURRENT_USER.
RegKey CurrentUserKey();

// RegOpenKeyExA with KEY_ALL_ACCESS.
long RegOpenKey(RegKey parent, const std::string& subKey, RegKey* result);
// RegCreateKeyExA: non-volatile, full access, no class; opens an existing key.
long RegCreateKey(RegKey parent, const std::string& subKey, RegKey* result);
long RegCloseKey(RegKey key);
// RegQueryValueExA without a data buffer: only the size of the value's data.
long RegQueryValueSize(RegKey key, const std::string& name, std::uint32_t* size);
// RegQueryValueExA: reads at most *size bytes; *size receives the data size.
// kErrorMoreData when the buffer is too small (nothing is copied then).
long RegQueryValue(RegKey key, const std::string& name, std::uint32_t* type,
                   void* data, std::uint32_t* size);
// RegSetValueExA.
long RegSetValue(RegKey key, const std::string& name, std::uint32_t type,
                 const void* data, std::uint32_t size);
long RegDeleteValue(RegKey key, const std::string& name);
// RegEnumKeyExA: *nameLength in: buffer size in characters including the
// terminating NUL; out: length without it. Subkeys come sorted without
// regard to case.
long RegEnumKey(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength);
// RegQueryInfoKeyA's longest subkey name length (without the NUL).
long RegQueryMaxSubKeyLength(RegKey key, std::uint32_t* length);
// RegDeleteKeyA: a key without subkeys.
long RegDeleteKey(RegKey parent, const std::string& subKey);
// SHDeleteKeyA: a key with its whole subtree.
long RegDeleteTree(RegKey parent, const std::string& subKey);

// FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM) for the user's default language.
std::string SystemMessageText(long errorCode);

// --- Where no system registry exists ---------------------------------------

constexpr long kErrorBadPathname = 161;
constexpr const char* kRegistryEnvironmentVariable = "TOVANA_REGISTRY";

// The file that stands in for the registry: the path set below, else the
// environment variable TOVANA_REGISTRY, else
// $XDG_CONFIG_HOME/zentrix-tovana/registry.reg (~/.config/... when unset).
std::string RegistryFilePath();
// Use another file from the next call on; an empty path restores the default.
void SetRegistryFilePath(const std::string& path);
// Why the registry file could not be read whole, in one line: the file, the
// reason with its line number, what was kept and dropped, and where the
// damaged copy was kept (or that it is left as it is until the next change);
// or why it cannot be read at all (a folder in its place, no permission),
// which fails every call. Empty when the file read cleanly. Reading it
// clears it. On Windows always empty.
std::string TakeRegistryProblem();
// Why the last change could not be stored, in one line naming the file and
// the system's reason; empty when every change since the last call was
// stored. Reading it clears it. On Windows always empty: a failing registry
// call reports its own code.
std::string TakeRegistryWriteProblem();

// --- Changes that belong together ------------------------------------------
// Between BeginRegistryBatch and the end of the batch, the calls of this
// process see every change at once, but the store takes them in one step:
// on the file store one replacement of the file, so that a crash or a kill
// leaves the store as it was before the batch or as it is after it, never
// between. Other processes wait until the batch ends. Batches nest; only
// the outermost end stores anything. EndRegistryBatch returns the error of
// storing (kErrorSuccess when nothing needed writing); AbandonRegistryBatch
// forgets the outermost batch's changes: an inner batch abandoned makes the
// outermost one store nothing, and its end then returns ERROR_CANCELLED
// (1223). On Windows each call reaches the registry at once, as it always
// has: a batch there changes nothing.
void BeginRegistryBatch();
long EndRegistryBatch();
void AbandonRegistryBatch();

// A batch for one scope: Commit() ends it and returns the error of storing;
// leaving the scope without Commit() (an exception) abandons it.
class RegistryBatch {
public:
    RegistryBatch() { BeginRegistryBatch(); }
    ~RegistryBatch() {
        if (open_) AbandonRegistryBatch();
    }
    RegistryBatch(const RegistryBatch&) = delete;
    RegistryBatch& operator=(const RegistryBatch&) = delete;
    long Commit() {
        open_ = false;
        return EndRegistryBatch();
    }

private:
    bool open_ = true;
};

// --- Mending a damaged file ------------------------------------------------
// When the registry file cannot be read whole, the keys whose sections parse
// whole are kept. A key matching one of these rules must then hold every
// value the rule names: one that lacks any is dropped and named in the
// problem, or, when the rule gives fill data, is completed with it (and is
// created when missing, if its parent key survived); filled values are of
// type REG_NONE. A rule naming no values only asks that the key exist. The
// rules apply in their order, so a key a rule creates can be the parent of
// the next rule's. `path` is below HKEY_CURRENT_USER; a last element "*"
// matches every subkey of its parent.
// The rules describe what the plug-in needs to find a stored tree whole, so
// that one bad line costs one preset or one key instead of the whole tree.
// Ignored on Windows.
struct RegistryKeyRule {
    std::string path;
    std::vector<std::string> values;
    std::vector<std::vector<unsigned char>> fill;  // empty, or one entry per value
};
void SetRegistryRepairRules(std::vector<RegistryKeyRule> rules);

// The operations a test can make fail.
enum class RegOperation {
    kOpen, kCreate, kQuerySize, kRead, kWrite, kDeleteValue,
    kEnumerate, kQueryInfo, kDeleteKey, kDeleteTree
};

namespace testing {
// Make `operation` fail with `error` when it reaches `target`: a key for key
// operations (open, create, enumerate, query info, delete key, delete tree),
// a value for value operations. A key is named by its path below
// HKEY_CURRENT_USER or by any trailing part of it made of whole names
// (Init, Zentrix CoolEdit Plugin Tovana\Init); a value by its name,
// optionally after such a key part (Last Alienator Settings\Squelch). Case plays no part; an empty
// target matches every key or value. Once: the fault disarms after firing.
void FailRegistryOperation(RegOperation operation, const std::string& target,
                           long error, bool always = false);
void ClearRegistryFaults();
// Whether each change reaches the disk (fsync) before the call returns; on
// by default. Tests working in a temporary folder may turn it off to save
// time: the file is still replaced atomically and under the lock.
void SetRegistryFlush(bool flush);
}  // namespace testing

}  // namespace platform
