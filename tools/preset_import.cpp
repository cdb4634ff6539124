#include "tools/preset_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "regfile/reg_text.h"
#include "settings/builtin_presets.h"
#include "settings/store_access.h"
#include "tools/commands.h"
#include "tools/setup_plan.h"
#include "tools/store_view.h"

namespace tovana {
namespace {

constexpr std::size_t kMaxKeyNameLength = 255;  // the registry's, in UTF-16 units

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string PresetPath(const EffectTable& table, const std::string& name) {
    return std::string(regfile::kCurrentUserHive) + "\\" + RootKeyPath() + "\\" + PresetsKeyName(table) + "\\" +
           name;
}

// The line of each key's first section, by the key's folded path. The
// parser keeps no lines, and a problem is easiest to find by its line.
std::map<regfile::NameKey, int> SectionLines(const std::string& bytes) {
    std::string text;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        std::u16string wide;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            wide.push_back(static_cast<char16_t>(little ? byte(i) | (byte(i + 1) << 8) : (byte(i) << 8) | byte(i + 1)));
        }
        text = regfile::Utf16ToUtf8(wide);
    } else {
        text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
    }
    std::map<regfile::NameKey, int> lines;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.size() < 3 || line.front() != '[' || line.back() != ']' || line[1] == '-') continue;
        lines.emplace(regfile::FoldName(line.substr(1, line.size() - 2)), number);
    }
    return lines;
}

// Why `name` cannot be a preset's name here; empty when it can.
std::string NameProblem(EffectKind effect, const std::string& name) {
    if (name.empty()) return "has an empty name";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "has a control character in its name";
    }
    if (regfile::Utf16Length(name) > kMaxKeyNameLength) {
        return "has a name longer than " + std::to_string(kMaxKeyNameLength) + " characters";
    }
    if (FindBuiltInPreset(effect, name) != nullptr) return "has the name of a built-in preset";
    return "";
}

// Why the stored value of `row` cannot be used; empty when it can, with
// the value in *value.
std::string ValueProblem(regfile::Key& key, const SettingInfo& row, double* value) {
    const std::string name = SettingName(row);
    const regfile::Value* stored = key.FindValue(name);
    if (stored == nullptr) return "has no value '" + name + "'";
    if (stored->data.size() != sizeof *value) {
        return "has a damaged value '" + name + "' (" + std::to_string(stored->data.size()) + " bytes, not 8)";
    }
    std::memcpy(value, stored->data.data(), sizeof *value);
    if (!std::isfinite(*value)) return "has no number for '" + name + "' (" + Number(*value) + ")";
    if (*value < row.minimum || *value > row.maximum) {
        return "has '" + name + "' = " + Number(*value) + ", outside " + Number(row.minimum) + " to " +
               Number(row.maximum);
    }
    return "";
}

}  // namespace

bool ReadPresetFile(const std::string& file, std::vector<IncomingPreset>* presets,
                    std::vector<std::string>* problems, std::size_t maxProblems) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        problems->push_back("cannot open " + file);
        return false;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    regfile::Key top;
    std::string reason;
    if (!regfile::ParseRegFile(bytes.str(), &top, &reason)) {
        problems->push_back(file + " is not a registry export: " + reason);
        return false;
    }
    const std::map<regfile::NameKey, int> lines = SectionLines(bytes.str());
    std::vector<std::pair<int, std::string>> failures;  // by line, the file's order
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        regfile::Key* list = store::PresetsKeyIn(top, table, false);
        if (list == nullptr) continue;
        for (const auto& entry : list->subkeys) {
            regfile::Key& key = *entry.second;
            IncomingPreset preset;
            preset.effect = e;
            preset.name = key.name;
            preset.block.assign(table.settingCount, -1.0);
            const auto found = lines.find(regfile::FoldName(PresetPath(table, key.name)));
            preset.line = found != lines.end() ? found->second : 0;
            std::string problem = NameProblem(table.kind, key.name);
            for (std::size_t r = 1; r < table.settingCount && problem.empty(); ++r) {
                problem = ValueProblem(key, table.settings[r], &preset.block[r]);
            }
            if (problem.empty()) problem = BrokenPairBound(table.kind, preset.block);
            if (!problem.empty()) {
                failures.emplace_back(preset.line, file +
                                                       (preset.line > 0 ? " line " + std::to_string(preset.line) : "") +
                                                       ": the " + table.name + " preset '" + key.name + "' " + problem);
                continue;
            }
            presets->push_back(std::move(preset));
        }
    }
    const auto byLine = [](const auto& a, const auto& b) { return a.first < b.first; };
    std::stable_sort(failures.begin(), failures.end(), byLine);
    for (std::size_t i = 0; i < failures.size() && i < maxProblems; ++i) problems->push_back(failures[i].second);
    if (failures.size() > maxProblems) {
        problems->push_back("and " + std::to_string(failures.size() - maxProblems) +
                            " more presets that cannot be used");
    }
    std::stable_sort(presets->begin(), presets->end(),
                     [](const IncomingPreset& a, const IncomingPreset& b) { return a.line < b.line; });
    if (failures.empty() && presets->empty()) problems->push_back(file + " holds no presets of Zentrix Tovana");
    return problems->empty();
}

bool StorePresets(std::vector<IncomingPreset>* presets, std::string* error) {
    std::vector<store::PresetToStore> incoming;
    for (const IncomingPreset& preset : *presets) incoming.push_back({preset.effect, preset.name, preset.block});
    store::WriteFailure failure;
    if (!store::WriteUserPresets(&incoming, &failure)) {
        if (!failure.what.empty()) {
            *error = "cannot store " + failure.what + ": " + SystemReason(failure.code);
        } else {
            *error = failure.problem.empty() ? "cannot store the presets: " + SystemReason(failure.code)
                                             : failure.problem;
        }
        return false;
    }
    for (std::size_t i = 0; i < presets->size(); ++i) (*presets)[i].replaced = incoming[i].replaced;
    return true;
}

}  // namespace tovana
