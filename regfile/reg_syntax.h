// What the reader and the writer of the export format share: its headers,
// the value types it spells out, and the hives a file may name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace regfile::syntax {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kOldHeader = "REGEDIT4";
// The editor breaks a line of hex data once it reaches this column.
constexpr std::size_t kHexWrapColumn = 77;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

constexpr const char* kHives[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                                  "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

// String types hold UTF-16 text in the registry and in the file; callers of
// the narrow calls see it converted.
inline bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

}  // namespace regfile::syntax
