#include "platform/portable/reg_file.h"

#include <cstdio>
#include <string_view>
#include <vector>

namespace platform::reg {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kOldHeader = "REGEDIT4";
// The editor breaks a line of hex data once it reaches this column.
constexpr std::size_t kHexWrapColumn = 77;
constexpr std::size_t kMaxKeyNameLength = 255;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

const char* const kHives[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE",
                              "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

// String types hold UTF-16 text in the registry and in the file; callers of
// the narrow calls see it converted.
bool IsTextType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

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

void FormatKey(const Key& key, const std::string& path, bool isHive, std::string* out) {
    // A hive exists without a section; every key below it needs one, even
    // an empty key, or it would not come back.
    if (!isHive || !key.values.empty()) {
        *out += "[" + path + "]\n";
        for (const Value& value : key.values) FormatValue(value, out);
        *out += "\n";
    }
    for (const auto& entry : key.subkeys) {
        FormatKey(*entry.second, path + "\\" + entry.second->name, false, out);
    }
}

// --- Reading ---------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Only blanks or a comment may follow a value's data.
bool NothingMore(std::string_view s) {
    s = TrimLeft(s);
    return s.empty() || s.front() == ';';
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != prefix[i]) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A whole hex number of 1 to `maxDigits` digits.
bool ParseHex(std::string_view s, std::size_t maxDigits, std::uint32_t* result) {
    if (s.empty() || s.size() > maxDigits) return false;
    std::uint32_t n = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        n = (n << 4) | static_cast<std::uint32_t>(d);
    }
    *result = n;
    return true;
}

// A quoted text starting at s[0] == '"'; `s` is left after the closing
// quote. A backslash escapes a quote or a backslash; before anything else it
// stands for itself.
bool ParseQuoted(std::string_view* s, std::string* text) {
    std::size_t i = 1;
    text->clear();
    while (i < s->size()) {
        const char c = (*s)[i];
        if (c == '"') {
            s->remove_prefix(i + 1);
            return true;
        }
        if (c == '\\' && i + 1 < s->size() && ((*s)[i + 1] == '\\' || (*s)[i + 1] == '"')) {
            text->push_back((*s)[i + 1]);
            i += 2;
            continue;
        }
        text->push_back(c);
        ++i;
    }
    return false;
}

bool ParseHexBytes(std::string_view s, std::vector<unsigned char>* bytes) {
    bytes->clear();
    s = TrimRight(TrimLeft(s));
    if (s.empty()) return true;
    while (true) {
        const std::size_t comma = s.find(',');
        std::string_view item = TrimRight(TrimLeft(s.substr(0, comma)));
        std::uint32_t byte = 0;
        if (comma == std::string_view::npos && item.empty() && !bytes->empty()) return true;
        if (!ParseHex(item, 2, &byte)) return false;
        bytes->push_back(static_cast<unsigned char>(byte));
        if (comma == std::string_view::npos) return true;
        s.remove_prefix(comma + 1);
        if (TrimLeft(s).empty()) return true;  // a trailing comma
    }
}

class Parser {
public:
    Parser(const std::string& text, Key* top) : top_(top) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string_view line(text.data() + start, end - start);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            lines_.push_back(line);
            start = end + 1;
        }
    }

    bool Run(std::string* reason) {
        std::size_t first = 0;
        while (first < lines_.size() && TrimRight(TrimLeft(lines_[first])).empty()) ++first;
        const std::string_view header =
            first < lines_.size() ? TrimRight(TrimLeft(lines_[first])) : std::string_view();
        if (header == kHeader) {
            unicode_ = true;
        } else if (header != kOldHeader) {
            *reason = "it does not begin with \"" + std::string(kHeader) + "\"";
            return false;
        }
        for (line_ = first + 1; line_ < lines_.size(); ++line_) {
            const std::string_view line = TrimLeft(lines_[line_]);
            if (TrimRight(line).empty() || line.front() == ';') continue;
            bool ok = false;
            if (line.front() == '[') {
                ok = Section(TrimRight(line));
            } else if (line.front() == '"' || line.front() == '@') {
                ok = ValueLine(line);
            } else {
                ok = Fail("unrecognised line");
            }
            if (!ok) {
                *reason = "line " + std::to_string(line_ + 1) + ": " + error_;
                return false;
            }
        }
        return true;
    }

private:
    bool Fail(const std::string& error) {
        error_ = error;
        return false;
    }

    bool Section(std::string_view line) {
        if (line.back() != ']' || line.size() < 2) return Fail("a key line must end with ']'");
        std::string_view path = line.substr(1, line.size() - 2);
        const bool removing = !path.empty() && path.front() == '-';
        if (removing) path.remove_prefix(1);
        std::vector<std::string> names;
        while (true) {
            const std::size_t slash = path.find('\\');
            names.emplace_back(path.substr(0, slash));
            if (slash == std::string_view::npos) break;
            path.remove_prefix(slash + 1);
            if (path.empty()) break;  // one trailing backslash is harmless
        }
        const char* hive = nullptr;
        for (const char* known : kHives) {
            if (SameName(names[0], known)) hive = known;
        }
        if (hive == nullptr) return Fail("unknown root key \"" + names[0] + "\"");
        names[0] = hive;
        for (const std::string& name : names) {
            if (name.empty()) return Fail("empty key name in the path");
            if (Utf16Length(name) > kMaxKeyNameLength) return Fail("key name too long");
        }
        current_ = nullptr;
        if (removing) {
            Key* parent = top_;
            for (std::size_t i = 0; parent != nullptr && i + 1 < names.size(); ++i) {
                parent = parent->FindSubkey(names[i]);
            }
            if (parent != nullptr) parent->RemoveSubkey(names.back());
            skipping_ = true;  // values under a removed key are ignored
            return true;
        }
        Key* key = top_;
        for (const std::string& name : names) key = key->AddSubkey(name);
        current_ = key;
        skipping_ = false;
        return true;
    }

    bool ValueLine(std::string_view line) {
        if (current_ == nullptr && !skipping_) return Fail("a value before any key");
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!ParseQuoted(&line, &name)) {
            return Fail("unterminated value name");
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') return Fail("'=' expected after the value name");
        line = TrimLeft(line.substr(1));

        std::uint32_t type = 0;
        std::vector<unsigned char> data;
        if (!line.empty() && line.front() == '-' && NothingMore(line.substr(1))) {
            if (current_ != nullptr) current_->RemoveValue(name);
            return true;
        }
        if (!line.empty() && line.front() == '"') {
            std::string text;
            if (!ParseQuoted(&line, &text)) return Fail("unterminated string");
            if (!NothingMore(line)) return Fail("text after the string");
            type = kRegSz;
            data.assign(text.begin(), text.end());
            data.push_back(0);
        } else if (StartsWithNoCase(line, "dword:")) {
            std::uint32_t dword = 0;
            line.remove_prefix(6);
            const std::size_t end = line.find_first_of(" \t;");
            if (!ParseHex(line.substr(0, end), 8, &dword) ||
                (end != std::string_view::npos && !NothingMore(line.substr(end)))) {
                return Fail("bad dword");
            }
            type = kRegDword;
            for (int i = 0; i < 4; ++i) {
                data.push_back(static_cast<unsigned char>(dword >> (8 * i)));
            }
        } else if (StartsWithNoCase(line, "hex")) {
            if (!HexValue(line.substr(3), &type, &data)) return false;
        } else {
            return Fail("unrecognised value data");
        }
        if (current_ != nullptr) current_->SetValue(name, type, data.data(), data.size());
        return true;
    }

    bool HexValue(std::string_view rest, std::uint32_t* type, std::vector<unsigned char>* data) {
        *type = kRegBinary;
        if (!rest.empty() && rest.front() == '(') {
            const std::size_t close = rest.find(')');
            if (close == std::string_view::npos || !ParseHex(rest.substr(1, close - 1), 8, type)) {
                return Fail("bad value type");
            }
            rest.remove_prefix(close + 1);
        }
        if (rest.empty() || rest.front() != ':') return Fail("':' expected after hex");
        rest.remove_prefix(1);
        std::string joined;
        while (true) {
            rest = TrimRight(rest);
            if (rest.empty() || rest.back() != '\\') {
                joined += rest;
                break;
            }
            rest.remove_suffix(1);
            joined += rest;
            if (++line_ >= lines_.size()) return Fail("the file ends inside a value");
            rest = TrimLeft(lines_[line_]);
        }
        if (!ParseHexBytes(joined, data)) return Fail("bad hex data");
        if (unicode_ && IsTextType(*type) && data->size() % 2 == 0) {
            std::u16string wide;
            for (std::size_t i = 0; i < data->size(); i += 2) {
                wide.push_back(static_cast<char16_t>((*data)[i] | ((*data)[i + 1] << 8)));
            }
            const std::string narrow = Utf16ToUtf8(wide);
            data->assign(narrow.begin(), narrow.end());
        }
        return true;
    }

    Key* top_;
    std::vector<std::string_view> lines_;
    std::size_t line_ = 0;
    bool unicode_ = false;
    Key* current_ = nullptr;
    bool skipping_ = false;
    std::string error_;
};

// The file's bytes as UTF-8: a UTF-16 file (with its byte-order mark, as the
// Windows editor writes) is converted, a UTF-8 one taken as it is.
bool Decode(const std::string& bytes, std::string* text, std::string* reason) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 &&
        ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        if (bytes.size() % 2 != 0) {
            *reason = "it is cut off in the middle of a UTF-16 character";
            return false;
        }
        const bool little = at(0) == 0xFF;
        std::u16string wide;
        for (std::size_t i = 2; i < bytes.size(); i += 2) {
            wide.push_back(static_cast<char16_t>(little ? at(i) | (at(i + 1) << 8)
                                                        : (at(i) << 8) | at(i + 1)));
        }
        *text = Utf16ToUtf8(wide);
    } else if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        *text = bytes.substr(3);
    } else {
        *text = bytes;
    }
    if (text->find('\0') != std::string::npos) {
        *reason = "it holds binary data";
        return false;
    }
    return true;
}

}  // namespace

std::string FormatRegFile(const Key& top) {
    std::string out = std::string(kHeader) + "\n\n";
    for (const auto& hive : top.subkeys) FormatKey(*hive.second, hive.second->name, true, &out);
    return out;
}

bool ParseRegFile(const std::string& bytes, Key* top, std::string* reason) {
    std::string text;
    if (!Decode(bytes, &text, reason)) return false;
    return Parser(text, top).Run(reason);
}

}  // namespace platform::reg
