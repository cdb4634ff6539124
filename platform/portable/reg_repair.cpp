#include "platform/portable/reg_repair.h"

#include <utility>

namespace platform::reg {
namespace {

constexpr std::size_t kListedKeys = 100;
constexpr std::size_t kListedValues = 3;
constexpr std::uint32_t kFillType = 0;  // REG_NONE, the type of every value the plug-in stores

std::vector<RegistryKeyRule> g_rules;

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string Join(const std::vector<std::string>& names, std::size_t from, const char* separator) {
    std::string text;
    for (std::size_t i = from; i < names.size(); ++i) {
        if (i > from) text += separator;
        text += names[i];
    }
    return text;
}

// The keys the rules look after all lie below this one; a key there is
// named by its path below it ("Alienator Presets\Mine").
std::vector<std::string> RulePrefix() {
    std::vector<std::string> prefix;
    bool first = true;
    for (const RegistryKeyRule& rule : g_rules) {
        std::vector<std::string> parent = Split(rule.path);
        if (!parent.empty()) parent.pop_back();
        if (first) {
            prefix = parent;
            first = false;
            continue;
        }
        std::size_t same = 0;
        while (same < prefix.size() && same < parent.size() && SameName(prefix[same], parent[same]))
            ++same;
        prefix.resize(same);
    }
    return prefix;
}

class Namer {
public:
    Namer() : prefix_(RulePrefix()) {}

    // `path` is hive first.
    std::string Key(const std::vector<std::string>& path) const {
        if (path.empty()) return std::string();
        if (!SameName(path[0], kCurrentUserHive)) return Printable(Join(path, 0, "\\"));
        bool below = path.size() > prefix_.size() + 1 && !prefix_.empty();
        for (std::size_t i = 0; below && i < prefix_.size(); ++i) below = SameName(path[i + 1], prefix_[i]);
        return Printable(Join(path, below ? prefix_.size() + 1 : 1, "\\"));
    }

    // An unreadable key line, by what it names as far as it can be told.
    std::string Line(std::string text) const {
        if (!text.empty() && text.front() == '[') text.erase(0, 1);
        if (!text.empty() && text.back() == ']') text.pop_back();
        const std::string lead = std::string(kCurrentUserHive) + "\\" + Join(prefix_, 0, "\\") + "\\";
        if (!prefix_.empty() && text.size() > lead.size() &&
            SameName(text.substr(0, lead.size()), lead)) {
            text.erase(0, lead.size());
        }
        return "the key written as \"" + Printable(text) + "\"";
    }

private:
    std::vector<std::string> prefix_;
};

std::string ValueList(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kListedValues; ++i) {
        text += (i == 0 ? "" : ", ") + Printable(names[i]);
    }
    if (names.size() > kListedValues) {
        text += " and " + std::to_string(names.size() - kListedValues) + " more";
    }
    return text;
}

void Note(std::vector<std::string>* list, std::string entry, Mending* mending) {
    if (mending->dropped.size() + mending->completed.size() < kListedKeys) {
        list->push_back(std::move(entry));
    } else {
        ++mending->unlisted;
    }
}

// One key a rule names, below `parent`; `path` is the parent's, hive first.
void Check(const RegistryKeyRule& rule, Key* parent, std::vector<std::string> path,
           const std::string& name, bool mayCreate, const Namer& namer, Mending* mending) {
    const bool completes = rule.fill.size() == rule.values.size();
    bool created = false;
    Key* key = parent->FindSubkey(name);
    if (key == nullptr) {
        if (!completes || !mayCreate) return;
        key = parent->AddSubkey(name, &created);
    }
    path.push_back(key->name);
    std::vector<std::string> missing;
    for (std::size_t i = 0; i < rule.values.size(); ++i) {
        if (key->FindValue(rule.values[i]) != nullptr) continue;
        missing.push_back(rule.values[i]);
        if (completes) {
            key->SetValue(rule.values[i], kFillType, rule.fill[i].data(), rule.fill[i].size());
        }
    }
    if (created) {
        Note(&mending->completed, namer.Key(path) + " (created)", mending);
    } else if (missing.empty()) {
        return;
    } else if (completes) {
        Note(&mending->completed, namer.Key(path) + " (" + ValueList(missing) + ")", mending);
    } else {
        const std::string shown = namer.Key(path);
        parent->RemoveSubkey(name);
        Note(&mending->dropped, shown + " (without " + ValueList(missing) + ")", mending);
    }
}

void Apply(const RegistryKeyRule& rule, Key* user, const Namer& namer, Mending* mending) {
    const std::vector<std::string> names = Split(rule.path);
    if (names.empty()) return;
    std::vector<std::string> path{user->name};
    Key* parent = user;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        parent = parent->FindSubkey(names[i]);
        if (parent == nullptr) return;
        path.push_back(parent->name);
    }
    if (names.back() != "*") {
        Check(rule, parent, path, names.back(), true, namer, mending);
        return;
    }
    std::vector<std::string> children;
    for (const auto& entry : parent->subkeys) children.push_back(entry.second->name);
    for (const std::string& child : children) Check(rule, parent, path, child, false, namer, mending);
}

}  // namespace

void SetRepairRules(std::vector<RegistryKeyRule> rules) { g_rules = std::move(rules); }

Mending Mend(Key* top, const SalvageReport& report) {
    Mending mending;
    const Namer namer;
    for (const DroppedSection& section : report.dropped) {
        std::string shown = !section.path.empty()     ? namer.Key(section.path)
                            : !section.keyLine.empty() ? namer.Line(section.keyLine)
                                                       : std::string("the rest of the file");
        mending.dropped.push_back(shown + " (" + Printable(section.reason) + ")");
    }
    mending.unlisted = report.unlisted;
    if (Key* user = top->FindSubkey(kCurrentUserHive)) {
        for (const RegistryKeyRule& rule : g_rules) Apply(rule, user, namer, &mending);
    }
    return mending;
}

std::string DescribeDamage(const std::string& file, const SalvageReport& report,
                           const Mending& mending) {
    std::string text = "The registry file " + Printable(file, file.size()) + " could not be read whole (" +
                       Printable(report.reason) + ")";
    if (!mending.dropped.empty() || mending.unlisted != 0) {
        text += "; dropped: " + Join(mending.dropped, 0, ", ");
        if (mending.unlisted != 0) {
            text += (mending.dropped.empty() ? "" : " and ") + std::to_string(mending.unlisted) +
                    " more keys";
        }
    }
    if (!mending.completed.empty()) text += "; completed: " + Join(mending.completed, 0, ", ");
    return text + "; ";
}

std::string Printable(const std::string& name, std::size_t longest) {
    std::string text;
    std::size_t end = name.size();
    if (end > longest) {
        end = longest;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) --end;
    }
    for (std::size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F) {
            static const char kDigits[] = "0123456789abcdef";
            text += "\\x";
            text += kDigits[c >> 4];
            text += kDigits[c & 15];
        } else {
            text += static_cast<char>(c);
        }
    }
    return end < name.size() ? text + "..." : text;
}

}  // namespace platform::reg
