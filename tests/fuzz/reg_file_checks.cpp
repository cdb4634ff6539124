// The registry export reader on any bytes: it refuses with a reason, or
// what it read formats into a file that reads back as the same tree and
// formats the same again.
#include "platform/portable/reg_file.h"
#include "tests/fuzz/fuzz_checks.h"

namespace tovana::fuzz {
namespace {

using platform::reg::Key;
using platform::reg::Value;

// A hive always exists, so an empty one needs no section and does not
// come back from the file: it counts as absent.
bool IsEmptyHive(const Key& hive) { return hive.Values().empty() && hive.subkeys.empty(); }

// String values are UTF-16 text in the registry; in the tree, bytes that
// are not UTF-8 stand for the Latin-1 characters of the same number (a
// REGEDIT4 file's strings are read as they are). Two spellings of one text
// are one value.
bool SameData(const Value& x, const Value& y) {
    const bool text = x.type == 1 || x.type == 2 || x.type == 7;  // REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ
    if (!text) return x.data == y.data;
    using platform::reg::Utf8ToUtf16;
    return Utf8ToUtf16(std::string(x.data.begin(), x.data.end())) ==
           Utf8ToUtf16(std::string(y.data.begin(), y.data.end()));
}

std::string Difference(const Key& a, const Key& b, const std::string& path, bool hives) {
    if (a.name != b.name) return path + ": the key's name changed to '" + b.name + "'";
    if (a.Values().size() != b.Values().size()) return path + ": a different number of values";
    for (auto xi = a.Values().begin(), yi = b.Values().begin(); xi != a.Values().end(); ++xi, ++yi) {
        const Value& x = *xi;
        const Value& y = *yi;
        if (x.name != y.name) return path + ": value '" + x.name + "' became '" + y.name + "'";
        if (x.type != y.type || !SameData(x, y)) return path + ": value '" + x.name + "' changed";
    }
    auto i = a.subkeys.begin();
    auto j = b.subkeys.begin();
    while (i != a.subkeys.end() || j != b.subkeys.end()) {
        if (hives && i != a.subkeys.end() && IsEmptyHive(*i->second)) {
            ++i;
            continue;
        }
        if (hives && j != b.subkeys.end() && IsEmptyHive(*j->second)) {
            ++j;
            continue;
        }
        if (i == a.subkeys.end() || j == b.subkeys.end() || i->first != j->first) {
            return path + ": the subkeys differ";
        }
        const std::string name = hives ? i->second->name : path + "\\" + i->second->name;
        const std::string inner = Difference(*i->second, *j->second, name, false);
        if (!inner.empty()) return inner;
        ++i;
        ++j;
    }
    return "";
}

}  // namespace

std::string CheckRegFile(const std::string& bytes) {
    Key first;
    std::string reason;
    if (!platform::reg::ParseRegFile(bytes, &first, &reason)) {
        return reason.empty() ? "refused without a reason" : "";
    }
    const std::string text = platform::reg::FormatRegFile(first);
    Key second;
    if (!platform::reg::ParseRegFile(text, &second, &reason)) {
        return "what was read, formatted, does not read back: " + reason;
    }
    const std::string changed = Difference(first, second, "", true);
    if (!changed.empty()) return "formatting and reading back changed the tree at " + changed;
    if (platform::reg::FormatRegFile(second) != text) return "the tree read back formats differently";
    return "";
}

}  // namespace tovana::fuzz
