#include "regfile/reg_text.h"

#include <cstdio>
#include <vector>

#include "regfile/reg_syntax.h"

namespace regfile {
namespace {

using namespace syntax;

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// A REG_SZ the editor writes in quotes: one terminating NUL and nothing that
// would end the line.
bool IsPlainString(const std::vector<unsigned char>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0 || data[i] == '\n' || data[i] == '\r') return false;
    }
    return true;
}

std::vector<unsigned char> ToFileBytes(const Value& value) {
    if (!IsTextType(value.type)) return value.data;
    const std::u16string wide = Utf8ToUtf16(std::string(value.data.begin(), value.data.end()));
    std::vector<unsigned char> bytes;
    for (char16_t unit : wide) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

void FormatValue(const Value& value, std::string* out) {
    std::string line = value.name.empty() ? "@=" : "\"" + Escape(value.name) + "\"=";
    char token[32];
    if (value.type == kRegSz && IsPlainString(value.data)) {
        line += "\"" + Escape(std::string(value.data.begin(), value.data.end() - 1)) + "\"";
        *out += line + "\n";
        return;
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        const std::uint32_t dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                    (static_cast<std::uint32_t>(value.data[3]) << 24);
        std::snprintf(token, sizeof token, "dword:%08x", static_cast<unsigned>(dword));
        *out += line + token + "\n";
        return;
    }
    if (value.type == kRegBinary) {
        line += "hex:";
    } else {
        std::snprintf(token, sizeof token, "hex(%x):", static_cast<unsigned>(value.type));
        line += token;
    }
    const std::vector<unsigned char> bytes = ToFileBytes(value);
    std::size_t column = Utf16Length(line);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(token, sizeof token, "%02x", bytes[i]);
        line += token;
        if (i + 1 == bytes.size()) break;
        line += ',';
        column += 3;
        if (column >= kHexWrapColumn) {
            line += "\\\n  ";
            column = 2;
        }
    }
    *out += line + "\n";
}

// A key's own section. A hive exists without one; every key below it
// needs one, even an empty key, or it would not come back.
void FormatSection(const Key& key, const std::string& path, bool isHive, std::string* out) {
    if (isHive && key.Values().empty()) return;
    *out += "[" + path + "]\n";
    for (const Value& value : key.Values()) FormatValue(value, out);
    *out += "\n";
}

// Parents before children, subkeys in the registry's order, walked with a
// stack of its own rather than by recursion.
void FormatHive(const Key& hive, std::string* out) {
    struct Frame {
        const Key* key;
        std::map<NameKey, std::unique_ptr<Key>>::const_iterator next;
        std::size_t pathLength;
    };
    std::string path = hive.name;
    FormatSection(hive, path, true, out);
    std::vector<Frame> stack{{&hive, hive.subkeys.begin(), path.size()}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.key->subkeys.end()) {
            stack.pop_back();
            continue;
        }
        const Key& child = *frame.next->second;
        ++frame.next;
        path.resize(frame.pathLength);
        path += "\\" + child.name;
        FormatSection(child, path, false, out);
        stack.push_back({&child, child.subkeys.begin(), path.size()});
    }
}

}  // namespace

std::string FileHeader() { return std::string(kHeader) + "\n\n"; }

void AppendRawSection(const std::string& path, const std::vector<Value>& values, std::string* out) {
    *out += "[" + path + "]\n";
    for (const Value& value : values) {
        char head[32];
        std::snprintf(head, sizeof head, "=hex(%x):", static_cast<unsigned>(value.type));
        *out += "\"" + Escape(value.name) + "\"" + head;
        for (std::size_t i = 0; i < value.data.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", value.data[i]);
            *out += byte;
        }
        *out += "\n";
    }
    *out += "\n";
}

std::string FormatRegFile(const Key& top) {
    std::string out = FileHeader();
    for (const auto& hive : top.subkeys) FormatHive(*hive.second, &out);
    return out;
}

}  // namespace regfile
