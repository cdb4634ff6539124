#include "tools/setup_plan.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "ui/effect_page.h"

namespace tovana {
namespace {

// Every block keeps its mix at the same place.
constexpr std::size_t kWetMixOffset = offsetof(AlienatorSettings, wetMix);
constexpr std::size_t kDryMixOffset = offsetof(AlienatorSettings, dryMix);

bool ParseWhole(const std::string& text, int* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX) return false;
    *value = static_cast<int>(parsed);
    return true;
}

// A stored or table value for a message; NaN and infinities too.
std::string Whole(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string RangeText(const SettingInfo& row) {
    if (row.kind == SettingKind::Flag) return "0 or 1";
    return Whole(row.minimum) + " to " + Whole(row.maximum);
}

bool ParsePercent(const char* what, const std::string& text, int* value, std::string* error) {
    if (!ParseWhole(text, value) || *value < 0 || *value > 100) {
        *error = std::string(what) + " must be a whole number from 0 to 100 (got '" + text + "')";
        return false;
    }
    return true;
}

// The setting named `name`, exactly or else without regard to case.
const SettingInfo* FindRow(const EffectTable& table, const std::string& name) {
    if (const SettingInfo* row = FindSetting(table, name)) return row;
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        if (Lower(SettingName(table.settings[i])) == Lower(name)) return &table.settings[i];
    }
    return nullptr;
}

std::string SettableNames(const EffectTable& table) {
    std::string names;
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        if (table.settings[i].control == 0) continue;
        names += (names.empty() ? "'" : ", '") + SettingName(table.settings[i]) + "'";
    }
    return names;
}

bool FindPreset(const std::vector<ListedPreset>& list, const std::string& name, std::string* found) {
    for (const ListedPreset& entry : list) {
        if (entry.name == name) {
            *found = entry.name;
            return true;
        }
    }
    int matches = 0;
    for (const ListedPreset& entry : list) {
        if (Lower(entry.name) == Lower(name)) {
            *found = entry.name;
            ++matches;
        }
    }
    return matches == 1;
}

}  // namespace

std::string BrokenPairBound(EffectKind effect, const std::vector<double>& block) {
    const EffectTable& table = TableOf(effect);
    for (const SliderPair& pair : table.sliderPairs) {
        const SettingInfo* upper = RowOfControl(table, pair.upper);
        const SettingInfo* lower = RowOfControl(table, pair.lower);
        const double u = block[static_cast<std::size_t>(upper - table.settings)];
        const double l = block[static_cast<std::size_t>(lower - table.settings)];
        if (!(u >= l)) {
            return "'" + SettingName(*upper) + "' (" + Whole(u) + ") is below '" + SettingName(*lower) + "' (" +
                   Whole(l) + ")";
        }
    }
    return "";
}

DialogState CurrentDialogState() {
    DialogState state;
    const StoredState stored = ReadStoredState();
    state.settings = stored.settings;
    state.lastActiveEffect = stored.lastActiveEffect;
    for (int e = 0; e < kEffectCount; ++e) {
        state.presets[e] = PresetList(static_cast<EffectKind>(e), ReadUserPresets(static_cast<EffectKind>(e)));
    }
    return state;
}

bool ValidateOptions(const EffectOptions& options, const DialogState& state, SetupRequest* request,
                     std::string* error) {
    *request = SetupRequest{};
    int effect = FindEffect(state.lastActiveEffect) != nullptr ? state.lastActiveEffect : 0;
    if (!options.effect.empty()) {
        effect = EffectByName(options.effect);
        if (effect < 0) {
            *error = "unknown effect '" + options.effect + "' (choose " + EffectChoices() + ")";
            return false;
        }
        request->pickEffect = true;
    }
    request->effect = static_cast<EffectKind>(effect);
    const EffectTable& table = TableOf(effect);

    // What the page will hold once the preset is applied: the values the
    // pair bounds are checked against.
    std::vector<double> values(table.settingCount);
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        values[i] = SettingValue(state.settings, table, table.settings[i]);
    }
    if (options.preset) {
        const auto& list = state.presets[effect];
        if (!FindPreset(list, *options.preset, &request->preset)) {
            std::string names;
            for (const ListedPreset& entry : list) names += (names.empty() ? "'" : ", '") + entry.name + "'";
            *error = "unknown preset '" + *options.preset + "' for " + table.name + " (choose " + names + ")";
            return false;
        }
        for (const ListedPreset& entry : list) {
            if (entry.name == request->preset) values = entry.block;
        }
        for (std::size_t i = 1; i < table.settingCount; ++i) {
            if (std::isfinite(values[i])) continue;
            *error = "the stored preset '" + request->preset + "' of " + table.name + " holds no number for '" +
                     SettingName(table.settings[i]) + "' (" + Whole(values[i]) +
                     "); choose another preset or import it again";
            return false;
        }
    }

    std::optional<std::string> wet = options.wet;
    std::optional<std::string> dry = options.dry;
    std::vector<bool> requested(table.settingCount, false);
    std::vector<int> targets(table.settingCount, 0);
    for (const auto& [name, text] : options.sets) {
        const SettingInfo* row = FindRow(table, name);
        if (row == nullptr) {
            *error = "unknown setting '" + name + "' for " + table.name + " (choose " + SettableNames(table) + ")";
            return false;
        }
        if (row->control == 0) {
            if (row->offset == kWetMixOffset) {
                wet = text;
            } else if (row->offset == kDryMixOffset) {
                dry = text;
            } else {
                *error = "'" + SettingName(*row) + "' is not set directly (use --preset, --wet and --dry)";
                return false;
            }
            continue;
        }
        int value = 0;
        if (!ParseWhole(text, &value) || value < row->minimum || value > row->maximum) {
            *error = "'" + SettingName(*row) + "' of " + table.name + " must be " +
                     (row->kind == SettingKind::Flag ? std::string() : "a whole number from ") + RangeText(*row) +
                     " (got '" + text + "')";
            return false;
        }
        const std::size_t index = static_cast<std::size_t>(row - table.settings);
        requested[index] = true;
        targets[index] = value;
    }

    for (const SliderPair& pair : table.sliderPairs) {
        const SettingInfo* upper = RowOfControl(table, pair.upper);
        const SettingInfo* lower = RowOfControl(table, pair.lower);
        const std::size_t u = static_cast<std::size_t>(upper - table.settings);
        const std::size_t l = static_cast<std::size_t>(lower - table.settings);
        if (!requested[u] && !requested[l]) continue;
        // An untouched slider stands where the page shows it: the value as
        // the page converts it (a NaN as 0), inside its range.
        auto shown = [&](std::size_t i) {
            const SettingInfo& row = table.settings[i];
            return requested[i] ? targets[i]
                                : std::clamp(TruncateToInt(values[i]), static_cast<int>(row.minimum),
                                             static_cast<int>(row.maximum));
        };
        if (shown(u) < shown(l)) {
            *error = "'" + SettingName(*upper) + "' (" + std::to_string(shown(u)) + ") must not be below '" +
                     SettingName(*lower) + "' (" + std::to_string(shown(l)) + "); give both or keep '" +
                     SettingName(*upper) + "' >= '" + SettingName(*lower) + "'";
            return false;
        }
    }
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        if (requested[i]) request->targets.push_back({&table.settings[i], targets[i]});
    }
    int percent = 0;
    if (wet) {
        if (!ParsePercent("--wet", *wet, &percent, error)) return false;
        request->wet = percent;
    }
    if (dry) {
        if (!ParsePercent("--dry", *dry, &percent, error)) return false;
        request->dry = percent;
    }
    return true;
}

std::vector<SetupStep> PlanSetup(const SetupRequest& request) {
    using Kind = SetupStep::Kind;
    std::vector<SetupStep> steps;
    const EffectTable& table = TableOf(request.effect);
    if (request.pickEffect) steps.push_back(SetupStep::Make(Kind::SelectTab, 0, static_cast<int>(request.effect)));
    if (!request.preset.empty()) {
        SetupStep step = SetupStep::Make(Kind::SelectPreset);
        step.text = request.preset;
        steps.push_back(step);
    }
    auto target = [&](const SettingInfo* row) -> const SettingTarget* {
        for (const SettingTarget& t : request.targets) {
            if (t.setting == row) return &t;
        }
        return nullptr;
    };
    // Controls that a cleared (or set) box disables are enabled first.
    std::vector<const EnablingRule*> opened;
    for (const EnablingRule& rule : table.enablingRules) {
        bool needed = false;
        for (int control : rule.controls) needed = needed || target(RowOfControl(table, control)) != nullptr;
        if (!needed) continue;
        opened.push_back(&rule);
        steps.push_back(SetupStep::Make(Kind::Enable, rule.box, rule.usableWhenChecked ? 1 : 0));
    }
    auto isOpened = [&](int box) {
        return std::any_of(opened.begin(), opened.end(), [&](const EnablingRule* rule) { return rule->box == box; });
    };
    for (const SettingTarget& t : request.targets) {
        const SettingInfo& row = *t.setting;
        if (row.kind == SettingKind::Flag) {
            if (!isOpened(row.control)) steps.push_back(SetupStep::Make(Kind::SetCheck, row.control, t.value));
            continue;
        }
        const SliderPair* pair = nullptr;
        for (const SliderPair& p : table.sliderPairs) {
            if (p.upper == row.control || p.lower == row.control) pair = &p;
        }
        if (pair == nullptr) {
            steps.push_back(SetupStep::Make(Kind::MoveSlider, row.control, t.value));
            continue;
        }
        const bool first = std::none_of(steps.begin(), steps.end(), [&](const SetupStep& s) {
            return s.kind == Kind::MovePair && s.control == pair->upper;
        });
        if (!first) continue;
        SetupStep step = SetupStep::Make(Kind::MovePair, pair->upper);
        step.control2 = pair->lower;
        if (const SettingTarget* upper = target(RowOfControl(table, pair->upper))) {
            step.value = upper->value;
            step.hasValue = true;
        }
        if (const SettingTarget* lower = target(RowOfControl(table, pair->lower))) {
            step.value2 = lower->value;
            step.hasValue2 = true;
        }
        steps.push_back(step);
    }
    for (const EnablingRule* rule : opened) {
        if (const SettingTarget* t = target(RowOfControl(table, rule->box))) {
            steps.push_back(SetupStep::Make(Kind::SetCheck, rule->box, t->value));
        } else {
            steps.push_back(SetupStep::Make(Kind::Restore, rule->box));
        }
    }
    if (request.wet || request.dry) {
        SetupStep step = SetupStep::Make(Kind::SetMix);
        step.hasValue = request.wet.has_value();
        step.value = request.wet.value_or(0);
        step.hasValue2 = request.dry.has_value();
        step.value2 = request.dry.value_or(0);
        steps.push_back(step);
    }
    steps.push_back(SetupStep::Make(Kind::PressOk, kOkButton));
    return steps;
}

std::vector<SliderMove> OrderPairMoves(int upperControl, int upper, int upperTarget, int lowerControl, int lower,
                                       int lowerTarget) {
    std::vector<SliderMove> planned;
    if (upperTarget >= lower) {
        planned = {{upperControl, upperTarget}, {lowerControl, lowerTarget}};
    } else if (lowerTarget <= upper) {
        planned = {{lowerControl, lowerTarget}, {upperControl, upperTarget}};
    } else {
        // Both sides start on the wrong side of each other's targets: the
        // upper one is stopped at the lower one first, then both go home.
        planned = {{upperControl, upperTarget}, {lowerControl, lowerTarget}, {upperControl, upperTarget}};
    }
    // Drop moves that would leave a slider where it already stands.
    std::vector<SliderMove> moves;
    for (const SliderMove& move : planned) {
        int& position = move.control == upperControl ? upper : lower;
        int reached = move.position;
        if (move.control == upperControl) reached = std::max(reached, lower);
        if (move.control == lowerControl) reached = std::min(reached, upper);
        if (move.position == position) continue;
        moves.push_back(move);
        position = reached;
    }
    return moves;
}

std::vector<MixAction> MixActions(bool linkedChecked, std::optional<int> wet, std::optional<int> dry) {
    std::vector<MixAction> actions;
    if (wet && dry) {
        actions.push_back({true, kLinkedCheck, 0});
        if (!linkedChecked) actions.push_back({true, kLinkedCheck, 0});
    }
    if (wet) actions.push_back({false, kWetSlider, *wet});
    if (dry) actions.push_back({false, kDrySlider, *dry});
    return actions;
}

}  // namespace tovana
