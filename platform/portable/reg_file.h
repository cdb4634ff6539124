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

#include <string>

#include "platform/portable/reg_tree.h"

namespace platform::reg {

// The whole tree below `top` (whose subkeys are the hives), UTF-8 without a
// byte-order mark, lines ending in LF.
std::string FormatRegFile(const Key& top);

// Reads an export into the hives below `top`. Takes UTF-8 (with or without
// a byte-order mark) and UTF-16 with its byte-order mark, CRLF or LF, the
// "REGEDIT4" header too, and the editor's ways of writing values
// ("string", dword:, hex:, hex(N):, deletions with - ). Returns false and a
// reason naming the line when the text is not such a file; `top` is then
// incomplete and must not be used.
bool ParseRegFile(const std::string& bytes, Key* top, std::string* reason);

}  // namespace platform::reg
