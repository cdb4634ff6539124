// The registry export reader on any bytes: it refuses with a reason, or
// what it read formats into a file that reads back as the same tree and
// formats the same again. The salvaging reader keeps what is sound of the
// same bytes: all of it when the strict reader takes them, else a tree that
// round-trips too, which the plug-in's repair rules mend once and for all,
// and a message without control characters says what was lost.
#include "regfile/reg_text.h"
#include "platform/portable/reg_repair.h"
#include "settings/store_repair.h"
#include "tests/fuzz/fuzz_checks.h"

namespace tovana::fuzz {
namespace {

using regfile::Key;
using regfile::Value;

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
    using regfile::Utf8ToUtf16;
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

// Formatting `tree` and reading the text back must give the same tree,
// which formats the same again.
std::string RoundTrip(const Key& tree) {
    const std::string text = regfile::FormatRegFile(tree);
    Key again;
    std::string reason;
    if (!regfile::ParseRegFile(text, &again, &reason)) return "formatted, it does not read back: " + reason;
    const std::string changed = Difference(tree, again, "", true);
    if (!changed.empty()) return "formatting and reading back changed the tree at " + changed;
    if (regfile::FormatRegFile(again) != text) return "the tree read back formats differently";
    return "";
}

bool HasControlCharacters(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) return true;
    }
    return false;
}

std::string CheckSalvage(const std::string& bytes, const Key* strict) {
    static const bool rulesInstalled = (platform::reg::SetRepairRules(store::RepairRules()), true);
    (void)rulesInstalled;
    Key kept;
    regfile::SalvageReport report;
    const bool whole = regfile::SalvageRegFile(bytes, &kept, &report);
    if (whole != report.reason.empty()) return "salvaging says whole and gives a reason, or neither";
    if (whole && strict == nullptr) return "salvaging reads whole what the strict reader refuses";
    if (whole && !Difference(*strict, kept, "", true).empty()) return "salvaging reads a whole file differently";
    std::string problem = whole ? "" : RoundTrip(kept);  // a whole tree is the strict one, checked already
    if (!problem.empty()) return "salvaged: " + problem;

    const platform::reg::Mending mending = platform::reg::Mend(&kept, report);
    if (!whole && HasControlCharacters(platform::reg::DescribeDamage("registry.reg", report, mending))) {
        return "the damage is described with control characters";
    }
    if (!mending.dropped.empty() || !mending.completed.empty()) problem = RoundTrip(kept);
    if (!problem.empty()) return "mended: " + problem;
    const platform::reg::Mending again = platform::reg::Mend(&kept, regfile::SalvageReport());
    if (!again.dropped.empty() || !again.completed.empty()) return "a mended tree needs mending again";
    return "";
}

}  // namespace

std::string CheckRegFile(const std::string& bytes) {
    Key strict;
    std::string reason;
    const bool read = regfile::ParseRegFile(bytes, &strict, &reason);
    if (!read && reason.empty()) return "refused without a reason";
    if (read) {
        const std::string problem = RoundTrip(strict);
        if (!problem.empty()) return problem;
    }
    return CheckSalvage(bytes, read ? &strict : nullptr);
}

}  // namespace tovana::fuzz
