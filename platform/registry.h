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

}  // namespace platform
