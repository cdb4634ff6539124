#include "regfile/reg_parser.h"

#include <cstdio>

#include "regfile/reg_syntax.h"

namespace regfile {
namespace detail {
namespace {

using namespace syntax;

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


}  // namespace

Parser::Parser(std::string_view text, Key* top, SalvageReport* salvage)
    : text_(text), top_(top), salvage_(salvage) {}

bool Parser::Run(std::string* reason) {
    std::string_view header;
    while (NextLine(&header) && TrimRight(TrimLeft(header)).empty()) {
    }
    header = TrimRight(TrimLeft(header));
    if (header == kHeader) {
        unicode_ = true;
    } else if (header != kOldHeader) {
        Fail(text_.empty() ? "it is empty"
                           : "it does not begin with \"" + std::string(kHeader) + "\"");
        errorLine_ = 0;
        if (salvage_ == nullptr) return Stop(reason);
        // What follows may still be sound, most likely in today's format,
        // and the first line may be a key's.
        NoteFault();
        unicode_ = true;
        lost_ = true;
        HandleLine(header);
    }
    std::string_view raw;
    while (NextLine(&raw)) {
        if (!HandleLine(raw) && (salvage_ == nullptr || stopped_)) return Stop(reason);
    }
    if (salvage_ != nullptr && unicode_ && !EndsWithEmptyLine() && inSection_ && !skipping_ &&
        !removal_) {
        error_ = "the file is cut off in this key's section";
        errorLine_ = sectionLine_;
        DropSection();
    }
    if (!Flush()) return Stop(reason);
    return true;
}

bool Parser::NextLine(std::string_view* line) {
    if (pos_ > text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    *line = text_.substr(pos_, end - pos_);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    pos_ = end + 1;
    ++line_;
    return true;
}

bool Parser::EndsWithEmptyLine() const {
    if (text_.empty() || text_.back() != '\n') return false;
    const std::string_view body = text_.substr(0, text_.size() - 1);
    const std::size_t previous = body.rfind('\n');
    const std::string_view last =
        previous == std::string_view::npos ? body : body.substr(previous + 1);
    return TrimRight(TrimLeft(last)).empty();
}

bool Parser::HandleLine(std::string_view raw) {
    const std::string_view line = TrimLeft(raw);
    if (TrimRight(line).empty() || line.front() == ';') return true;
    if (line.find('\0') != std::string_view::npos) return Damage("binary data in the line");
    if (line.front() == '[') {
        if (!Flush()) return false;
        return Section(TrimRight(line));
    }
    if (line.front() == '"' || line.front() == '@') return ValueLine(line);
    return Damage("unrecognised line");
}

bool Parser::Fail(const std::string& error) {
    error_ = error;
    errorLine_ = line_;
    return false;
}

std::string Parser::Where() const {
    return errorLine_ == 0 ? error_ : "line " + std::to_string(errorLine_) + ": " + error_;
}

bool Parser::Stop(std::string* reason) {
    *reason = Where();
    return false;
}

// Puts the gathered section into the tree.
bool Parser::Flush() {
    const bool keep = inSection_ && !skipping_ && !removal_;
    inSection_ = false;
    if (!keep) {
        pending_.clear();
        return true;
    }
    Key* key = top_;
    for (const std::string& name : sectionPath_) {
        bool created = false;
        key = key->AddSubkey(name, &created);
        if (created) ++entries_;
    }
    for (Pending& change : pending_) {
        if (change.remove) {
            key->RemoveValue(change.name);
        } else {
            key->SetValue(change.name, change.type, change.data.data(), change.data.size());
        }
    }
    pending_.clear();
    if (entries_ <= kMaxEntries) return true;
    errorLine_ = sectionLine_;
    error_ = "more than " + std::to_string(kMaxEntries) + " keys and values";
    return Overflow();
}

bool Parser::Section(std::string_view line) {
    inSection_ = false;
    skipping_ = false;
    removal_ = false;
    lost_ = false;
    if (!SectionPath(line)) {
        if (salvage_ != nullptr) {
            NoteFault();
            Record(DroppedSection{{}, std::string(line.substr(0, 300)), Where()});
        }
        lost_ = true;  // its values belong to no key
        return false;
    }
    return true;
}

bool Parser::SectionPath(std::string_view line) {
    if (line.back() != ']' || line.size() < 2) return Fail("a key line must end with ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    const bool removing = !path.empty() && path.front() == '-';
    if (removing) path.remove_prefix(1);
    std::size_t separators = 0;
    for (char c : path) separators += c == '\\';
    if (separators > kMaxKeyDepth + 1) return TooDeep();
    std::vector<std::string> names;
    while (true) {
        const std::size_t slash = path.find('\\');
        names.emplace_back(path.substr(0, slash));
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
        if (path.empty()) break;  // one trailing backslash is harmless
    }
    if (names.size() > kMaxKeyDepth + 1) return TooDeep();
    const char* hive = nullptr;
    for (const char* known : kHives) {
        if (SameName(names[0], known)) hive = known;
    }
    if (hive == nullptr) return Fail("unknown root key \"" + names[0].substr(0, 100) + "\"");
    names[0] = hive;
    for (const std::string& name : names) {
        if (name.empty()) return Fail("empty key name in the path");
        if (Utf16Length(name) > kMaxKeyNameLength) return Fail("key name too long");
    }
    if (removing) {
        Key* parent = top_;
        for (std::size_t i = 0; parent != nullptr && i + 1 < names.size(); ++i) {
            parent = parent->FindSubkey(names[i]);
        }
        if (parent != nullptr) parent->RemoveSubkey(names.back());
        inSection_ = true;
        removal_ = true;  // values under a removed key are read but not kept
        return true;
    }
    sectionPath_ = std::move(names);
    sectionLine_ = line_;
    inSection_ = true;
    return true;
}

bool Parser::TooDeep() {
    return Fail("the key path is deeper than " + std::to_string(kMaxKeyDepth) + " levels");
}

bool Parser::ValueLine(std::string_view line) {
    if (skipping_ || lost_) return true;
    if (!inSection_) return Damage("a value before any key");
    std::string name;
    if (line.front() == '@') {
        line.remove_prefix(1);
    } else if (!ParseQuoted(&line, &name)) {
        return Damage("unterminated value name");
    }
    if (Utf16Length(name) > kMaxValueNameLength) return Damage("value name too long");
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') return Damage("'=' expected after the value name");
    line = TrimLeft(line.substr(1));

    Pending change{false, std::move(name), 0, {}};
    if (!line.empty() && line.front() == '-' && NothingMore(line.substr(1))) {
        change.remove = true;
    } else if (!line.empty() && line.front() == '"') {
        std::string text;
        if (!ParseQuoted(&line, &text)) return Damage("unterminated string");
        if (!NothingMore(line)) return Damage("text after the string");
        change.type = kRegSz;
        change.data.assign(text.begin(), text.end());
        change.data.push_back(0);
    } else if (StartsWithNoCase(line, "dword:")) {
        std::uint32_t dword = 0;
        line.remove_prefix(6);
        const std::size_t end = line.find_first_of(" \t;");
        if (!ParseHex(line.substr(0, end), 8, &dword) ||
            (end != std::string_view::npos && !NothingMore(line.substr(end)))) {
            return Damage("bad dword");
        }
        change.type = kRegDword;
        for (int i = 0; i < 4; ++i) {
            change.data.push_back(static_cast<unsigned char>(dword >> (8 * i)));
        }
    } else if (StartsWithNoCase(line, "hex")) {
        if (!HexValue(line.substr(3), &change.type, &change.data)) return Damage(error_);
    } else {
        return Damage("unrecognised value data");
    }
    if (change.data.size() > kMaxValueBytes) return Damage("value data larger than 1 MiB");
    if (++entries_ > kMaxEntries) {
        error_ = "more than " + std::to_string(kMaxEntries) + " keys and values";
        errorLine_ = line_;
        pending_.clear();
        skipping_ = true;
        return Overflow();
    }
    pending_.push_back(std::move(change));
    return true;
}

bool Parser::HexValue(std::string_view rest, std::uint32_t* type, std::vector<unsigned char>* data) {
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
        if (joined.size() > 3 * kMaxValueBytes + 3) return Fail("value data larger than 1 MiB");
        // A key line is never data: the value broke off before it.
        const std::size_t at = pos_;
        std::string_view next;
        if (!NextLine(&next)) return Fail("the file ends inside a value");
        if (!TrimLeft(next).empty() && TrimLeft(next).front() == '[') {
            pos_ = at;
            --line_;
            return Fail("the value breaks off before the next key");
        }
        rest = TrimLeft(next);
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

// The file's bytes as UTF-8: a UTF-16 file (with its byte-order mark, as the
// Windows editor writes) is converted, a UTF-8 one taken as it is. A UTF-16
// file cut off inside a character loses that character when salvaging.
bool Decode(const std::string& bytes, std::string* text, std::string* reason, bool salvage) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() > kMaxFileBytes) {
        *reason = "it is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
        return false;
    }
    if (bytes.size() >= 2 &&
        ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        if (bytes.size() % 2 != 0) {
            *reason = "it is cut off in the middle of a UTF-16 character";
            if (!salvage) return false;
        }
        const bool little = at(0) == 0xFF;
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            wide.push_back(static_cast<char16_t>(little ? at(i) | (at(i + 1) << 8)
                                                        : (at(i) << 8) | at(i + 1)));
        }
        *text = Utf16ToUtf8(wide);
    } else if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        *text = bytes.substr(3);
    } else {
        *text = bytes;
    }
    return true;
}

}  // namespace detail

bool ParseRegFile(const std::string& bytes, Key* top, std::string* reason) {
    std::string text;
    if (!detail::Decode(bytes, &text, reason, false)) return false;
    return detail::Parser(text, top, nullptr).Run(reason);
}

}  // namespace regfile
