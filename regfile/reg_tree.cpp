#include "regfile/reg_tree.h"

#include <cstring>

namespace regfile {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at text[*pos]; a byte that does not start a valid
// sequence is returned as itself with `*valid` false.
char32_t DecodeUtf8(const std::string& text, std::size_t* pos, bool* valid) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(*pos);
    *valid = true;
    if (lead < 0x80) {
        ++*pos;
        return lead;
    }
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        extra = -1;
    }
    if (extra > 0 && *pos + extra < text.size()) {
        bool ok = true;
        for (int i = 1; i <= extra; ++i) {
            if ((byte(*pos + i) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (byte(*pos + i) & 0x3F);
        }
        if (ok && c >= minimum && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) {
            *pos += 1 + extra;
            return c;
        }
    }
    *valid = false;
    ++*pos;
    return lead;
}

void AppendUtf8(std::string* out, char32_t c) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(std::u16string* out, char32_t c) {
    if (c < 0x10000) {
        out->push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out->push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// Upper case of the letters of the Latin, Greek and Cyrillic alphabets;
// everything else is its own upper case.
char32_t Upcase(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17E) {
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149) return c;
        const bool isLower = oddUpper ? (c % 2 == 0) : (c % 2 == 1);
        return isLower ? c - 1 : c;
    }
    if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) return c - 0x20;
    if (c == 0x3C2) return 0x3A3;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;
    return c;
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    bool valid = true;
    while (pos < text.size()) AppendUtf16(&out, DecodeUtf8(text, &pos, &valid));
    return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(&out, c);
    }
    return out;
}

std::size_t Utf16Length(const std::string& text) { return Utf8ToUtf16(text).size(); }

NameKey FoldName(const std::string& name) {
    NameKey key;
    key.reserve(name.size());
    std::size_t pos = 0;
    bool valid = true;
    while (pos < name.size()) {
        const char32_t c = DecodeUtf8(name, &pos, &valid);
        // A stray byte folds to a unit no text produces, so it never meets a
        // real character of the same number.
        if (!valid) {
            key.push_back(static_cast<char16_t>(0xDC00 | c));
            continue;
        }
        AppendUtf16(&key, Upcase(c));
    }
    return key;
}

bool SameName(const std::string& a, const std::string& b) { return FoldName(a) == FoldName(b); }

void DestroySubtrees(std::map<NameKey, std::unique_ptr<Key>>* subkeys) {
    std::vector<std::unique_ptr<Key>> pending;
    for (auto& entry : *subkeys) pending.push_back(std::move(entry.second));
    subkeys->clear();
    while (!pending.empty()) {
        std::unique_ptr<Key> key = std::move(pending.back());
        pending.pop_back();
        for (auto& entry : key->subkeys) pending.push_back(std::move(entry.second));
        key->subkeys.clear();
    }  // each key goes with no subkeys left, so its destructor does not recurse
}

Key::~Key() { DestroySubtrees(&subkeys); }

Key& Key::operator=(Key&& other) {
    if (this != &other) {
        DestroySubtrees(&subkeys);
        name = std::move(other.name);
        subkeys = std::move(other.subkeys);
        values_ = std::move(other.values_);
        index_ = std::move(other.index_);
    }
    return *this;
}

Key* Key::FindSubkey(const std::string& subName) const {
    auto it = subkeys.find(FoldName(subName));
    return it == subkeys.end() ? nullptr : it->second.get();
}

Key* Key::AddSubkey(const std::string& subName, bool* created) {
    auto& slot = subkeys[FoldName(subName)];
    if (created != nullptr) *created = slot == nullptr;
    if (slot == nullptr) {
        slot = std::make_unique<Key>();
        slot->name = subName;
    }
    return slot.get();
}

bool Key::RemoveSubkey(const std::string& subName) { return subkeys.erase(FoldName(subName)) != 0; }

Value* Key::FindValue(const std::string& valueName) {
    auto it = index_.find(FoldName(valueName));
    return it == index_.end() ? nullptr : &*it->second;
}

bool Key::SetValue(const std::string& valueName, std::uint32_t type, const unsigned char* data,
                   std::size_t size) {
    auto [slot, added] = index_.try_emplace(FoldName(valueName));
    if (added) {
        slot->second = values_.insert(values_.end(), Value{valueName, type, {}});
    } else {
        const Value& value = *slot->second;
        if (value.type == type && value.data.size() == size &&
            (size == 0 || std::memcmp(value.data.data(), data, size) == 0)) {
            return false;
        }
    }
    Value& value = *slot->second;
    value.type = type;
    value.data.assign(data, data + size);
    return true;
}

bool Key::RemoveValue(const std::string& valueName) {
    auto it = index_.find(FoldName(valueName));
    if (it == index_.end()) return false;
    values_.erase(it->second);
    index_.erase(it);
    return true;
}

}  // namespace regfile
