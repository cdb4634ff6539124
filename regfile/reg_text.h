// The registry export format, as the Windows registry editor writes and
// imports it, so that the file can be carried to a Windows machine and back.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Kestrum]
//   "Wet Mix"=hex(0):00,00,00,00,00,00,f0,3f
//
// Every key has a section of its own, parents before children, subkeys in
// the registry's order. Values follow their key's line in the order they
// were first written; long data wraps the way the editor wraps it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "regfile/reg_tree.h"

namespace regfile {

// What one file may hold; a file beyond any of these is refused with the
// line that breaks it. Names are measured in UTF-16 units, as the registry
// measures them; the depth counts the keys below the hive.
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxValueBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxEntries = 1000000;  // keys and values together

// The whole tree below `top` (whose subkeys are the hives), UTF-8 without a
// byte-order mark, lines ending in LF, the file ending with an empty line.
std::string FormatRegFile(const Key& top);

// For a writer that walks a registry of its own and writes as it goes: the
// file's first two lines, then one section per key. A raw section writes
// every value as "hex(TYPE):" with its bytes exactly as they are stored,
// on one line, in the order given.
std::string FileHeader();
void AppendRawSection(const std::string& path, const std::vector<Value>& values, std::string* out);

// Reads an export into the hives below `top`. Takes UTF-8 (with or without
// a byte-order mark) and UTF-16 with its byte-order mark, CRLF or LF, the
// "REGEDIT4" header too, and the editor's ways of writing values
// ("string", dword:, hex:, hex(N):, deletions with - ). Returns false and a
// reason naming the line when the text is not such a file; `top` is then
// incomplete and must not be used.
bool ParseRegFile(const std::string& bytes, Key* top, std::string* reason);

// A section a salvaging read left out.
struct DroppedSection {
    std::vector<std::string> path;  // hive first; empty when the key line was unreadable
    std::string keyLine;            // then the text of that line
    std::string reason;             // "line 14: bad hex data"
};

struct SalvageReport {
    std::string reason;  // the first fault, naming its line; empty when the file read whole
    std::vector<DroppedSection> dropped;  // the first ones, in the file's order
    std::size_t unlisted = 0;             // how many more were dropped
};

// Reads what is sound of a damaged export: every section that reads whole
// is kept; a section with a bad line is left out whole (its key's subkeys
// with sound sections of their own stay), and so are the values after an
// unreadable key line. A file in the version 5 format that does not end
// with an empty line, as the editor and FormatRegFile end theirs, was cut
// off: its last section is left out too. Returns true when the file read
// whole (`report` then holds nothing).
bool SalvageRegFile(const std::string& bytes, Key* top, SalvageReport* report);

}  // namespace regfile
