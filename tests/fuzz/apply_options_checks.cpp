// `tovana apply`'s options on any words, planned against any store: they
// are refused with a reason, or the plan asks only for what the dialog can
// show, and a batch's per-file command reads back as what it repeats.
//
// The input holds one word per line. Lines that begin with '@' describe the
// store the dialog starts from instead, which may hold anything a hand-made
// or damaged file can (NaN, infinities, huge numbers):
//   @E:R=VALUE    row R of effect E's stored settings (each modulo its count),
//                 VALUE as strtod reads it ("nan", "-inf", "1e308", ...)
//   @last=N       the page stored as active last
//   @preset=NAME  a user preset NAME of every effect, holding its stored
//                 settings as they stand at that line
#include <cstdlib>
#include <vector>

#include "tests/fuzz/fuzz_checks.h"
#include "tools/apply_options.h"
#include "tools/os.h"

namespace tovana::fuzz {
namespace {

void Describe(const std::string& line, DialogState* state, std::vector<UserPreset> user[kEffectCount]) {
    if (line.rfind("@last=", 0) == 0) {
        state->lastActiveEffect = static_cast<int>(std::strtol(line.c_str() + 6, nullptr, 10));
    } else if (line.rfind("@preset=", 0) == 0) {
        for (int e = 0; e < kEffectCount; ++e) {
            const EffectTable& table = TableOf(e);
            UserPreset preset;
            preset.name = line.substr(8);
            for (std::size_t i = 0; i < table.settingCount; ++i) {
                preset.block.push_back(i == 0 ? -1.0 : SettingValue(state->settings, table, table.settings[i]));
            }
            user[e].push_back(preset);
        }
    } else {
        char* end = nullptr;
        const unsigned long effect = std::strtoul(line.c_str() + 1, &end, 10);
        if (*end != ':') return;
        const EffectTable& table = TableOf(static_cast<int>(effect % kEffectCount));
        const unsigned long row = std::strtoul(end + 1, &end, 10);
        if (*end != '=') return;
        SettingValue(state->settings, table, table.settings[row % table.settingCount]) = std::strtod(end + 1, nullptr);
    }
}

bool InRange(const SettingInfo& row, int value) { return value >= row.minimum && value <= row.maximum; }

std::string CheckRequest(const SetupRequest& request) {
    const int effect = static_cast<int>(request.effect);
    if (effect < 0 || effect >= kEffectCount) return "planned for an effect that does not exist";
    const EffectTable& table = TableOf(effect);
    for (const SettingTarget& target : request.targets) {
        if (target.setting < table.settings || target.setting >= table.settings + table.settingCount) {
            return "a setting of another effect is planned";
        }
        if (target.setting->control == 0 || !InRange(*target.setting, target.value)) {
            return "'" + SettingName(*target.setting) + "' is planned at " + std::to_string(target.value) +
                   ", which its control cannot show";
        }
    }
    for (const std::optional<int>& percent : {request.wet, request.dry}) {
        if (percent && (*percent < 0 || *percent > 100)) return "a mix beyond 0 to 100 is planned";
    }
    const std::vector<SetupStep> steps = PlanSetup(request);
    if (steps.empty() || steps.back().kind != SetupStep::Kind::PressOk) return "the plan does not end with OK";
    for (const SetupStep& step : steps) {
        if (step.kind == SetupStep::Kind::MovePair && step.hasValue && step.hasValue2 && step.value < step.value2) {
            return "a slider pair is planned with its upper slider below its lower one";
        }
    }
    return "";
}

// The command each file of a batch runs must read back as that one file
// with the same run options.
std::string CheckBatchChild(const ApplyOptions& options, const std::string& input) {
    const std::string output = os::Join(options.outDir, input);
    const std::vector<std::string> args = BatchChildArgs(options, input, output);
    ApplyOptions child;
    std::string error;
    if (args.empty() || !ParseApplyOptions({args.begin() + 1, args.end()}, &child, &error)) {
        return "the command of batch file '" + input + "' does not parse: " + error;
    }
    if (child.inputs != std::vector<std::string>{input} || child.output != output || !child.effect.empty() ||
        child.seed != options.seed || child.selectionFirst != options.selectionFirst ||
        child.selectionLast != options.selectionLast || child.quiet != options.quiet ||
        child.quality != options.quality) {
        return "the command of batch file '" + input + "' reads back as another run";
    }
    return "";
}

}  // namespace

std::string CheckApplyOptions(const std::string& bytes) {
    DialogState state;
    for (int e = 0; e < kEffectCount; ++e) WriteDefaults(state.settings, TableOf(e));
    std::vector<UserPreset> user[kEffectCount];
    std::vector<std::string> words;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line[0] == '@') {
            Describe(line, &state, user);
        } else {
            words.push_back(line);
        }
        start = end + 1;
    }
    for (int e = 0; e < kEffectCount; ++e) state.presets[e] = PresetList(static_cast<EffectKind>(e), user[e]);

    ApplyOptions options;
    std::string error;
    if (!ParseApplyOptions(words, &options, &error)) return error.empty() ? "refused without a reason" : "";
    if (options.help) return "";
    if (!options.outDir.empty()) {
        for (const std::string& input : options.inputs) {
            const std::string problem = CheckBatchChild(options, input);
            if (!problem.empty()) return problem;
        }
    }
    if (options.effect.empty()) return CheckRequest(SetupRequest{});
    SetupRequest request;
    if (!ValidateOptions(options.effect, state, &request, &error)) {
        return error.empty() ? "effect options refused without a reason" : "";
    }
    return CheckRequest(request);
}

}  // namespace tovana::fuzz
