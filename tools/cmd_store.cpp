// tovana settings, presets, presets export/import and info: the store and
// the presets, read and carried without opening the dialog.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "regfile/reg_text.h"
#include "settings/builtin_presets.h"
#include "tools/commands.h"
#include "tools/os.h"
#include "tools/plugin_run.h"
#include "tools/preset_import.h"
#include "tools/store_view.h"

namespace tovana {
namespace {

const char kSettingsHelp[] =
    "usage: tovana settings\n"
    "\n"
    "Shows what the plug-in has stored: every effect's last settings, the\n"
    "effect used last and the mix. The first line names the store (on Linux\n"
    "a file, which TOVANA_REGISTRY can choose; on Windows the registry key).\n";

const char kPresetsHelp[] =
    "usage: tovana presets [EFFECT]\n"
    "       tovana presets export FILE [EFFECT] [NAME...]\n"
    "       tovana presets import FILE\n"
    "\n"
    "Lists the presets of one or every effect in the order of the plug-in's\n"
    "list, marking built-in and user presets. export writes user presets to\n"
    "FILE in the Windows registry editor's format (all of them, one effect's,\n"
    "or the named ones); import adds the presets of such a file, replacing a\n"
    "user preset of the same name and refusing built-in names. A file\n"
    "exported here can be imported on Windows by double-clicking it.\n";

std::string Number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string Range(const SettingInfo& row) {
    if (row.kind == SettingKind::ListIndex) return "-1 or an index of the list";
    if (row.kind == SettingKind::Flag) return "0 or 1";
    return Number(row.minimum) + " to " + Number(row.maximum);
}

// The check every command that reads the store makes first: a store that
// cannot be read at all would look empty.
bool StoreReadable(int* status, const std::string& consequence) {
    const std::string problem = os::StoreReadProblem();
    if (problem.empty()) return true;
    *status = Complain(kExitFailed, problem + consequence);
    return false;
}

std::vector<int> AllEffects() {
    std::vector<int> all;
    for (int e = 0; e < kEffectCount; ++e) all.push_back(e);
    return all;
}

std::vector<int> EffectsFrom(const std::string& name, bool* ok) {
    *ok = true;
    if (name.empty()) return AllEffects();
    const int effect = EffectByName(name);
    if (effect < 0) *ok = false;
    return {effect};
}

int ListPresets(const Args& args) {
    if (args.size() > 1) return Complain(kExitUsage, "presets takes at most one EFFECT (see tovana presets --help)");
    bool ok = false;
    const std::vector<int> effects = EffectsFrom(args.empty() ? "" : args[0], &ok);
    if (!ok) return Complain(kExitUsage, "unknown effect '" + args[0] + "' (choose " + EffectChoices() + ")");
    int status = kExitOk;
    if (!StoreReadable(&status, "")) return status;
    std::vector<std::vector<UserPreset>> user;
    for (int e : effects) user.push_back(ReadUserPresets(static_cast<EffectKind>(e)));
    ReportStoreProblems();
    for (std::size_t i = 0; i < effects.size(); ++i) {
        const int e = effects[i];
        const auto kind = static_cast<EffectKind>(e);
        std::printf("%s\n", TableOf(e).name);
        for (const ListedPreset& entry : PresetList(kind, user[i])) {
            const char* mark = entry.builtIn ? "built-in" : entry.replacesBuiltIn ? "user (in place of the built-in)"
                                                                                   : "user";
            std::printf("  %-30s %s\n", Printable(entry.name).c_str(), mark);
        }
        for (const UserPreset& preset : user[i]) {
            if (preset.problem.empty()) continue;
            Complain(kExitOk, "the stored " + std::string(TableOf(e).name) + " preset '" + preset.name +
                                  "' has no value '" + preset.problem +
                                  "'; the plug-in will reset the whole store when its dialog next opens");
        }
    }
    return kExitOk;
}

int ExportPresets(const Args& args) {
    if (args.empty()) return Complain(kExitUsage, "presets export needs a FILE");
    const std::string file = args[0];
    std::size_t next = 1;
    std::vector<int> effects = AllEffects();
    if (next < args.size() && EffectByName(args[next]) >= 0) effects = {EffectByName(args[next++])};
    std::vector<std::string> names(args.begin() + static_cast<std::ptrdiff_t>(next), args.end());
    std::vector<bool> found(names.size(), false);
    int status = kExitOk;
    if (!StoreReadable(&status, "; nothing was exported")) return status;

    regfile::Key top;
    int count = 0;
    for (int e : effects) {
        const EffectTable& table = TableOf(e);
        for (const UserPreset& preset : ReadUserPresets(static_cast<EffectKind>(e))) {
            bool wanted = names.empty();
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (names[i] == preset.name) wanted = found[i] = true;
            }
            if (!wanted) continue;
            if (!preset.problem.empty()) {
                return Complain(kExitFailed, "the stored preset '" + preset.name + "' of " + table.name +
                                                " is damaged (no '" + preset.problem + "'); nothing was exported");
            }
            store::AddToExport(top, table, preset);
            ++count;
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (found[i]) continue;
        for (int e : effects) {
            if (FindBuiltInPreset(static_cast<EffectKind>(e), names[i]) != nullptr) {
                return Complain(kExitUsage, "'" + names[i] + "' is a built-in preset; only user presets are exported");
            }
        }
        return Complain(kExitUsage, "no user preset named '" + names[i] + "' (see tovana presets)");
    }
    if (count == 0) return Complain(kExitFailed, "there are no user presets to export; nothing was written");
    // Windows line ends, as the registry editor writes its own exports.
    std::string text;
    for (char c : regfile::FormatRegFile(top)) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Written beside the file and renamed over it, so a failed or
    // interrupted export leaves an earlier export of that name whole.
    os::RemoveStaleTemporaries(file);
    std::string temporary;
    std::string reason;
    std::FILE* out = os::CreateTemporaryBeside(file, &temporary, &reason);
    if (out == nullptr) return Complain(kExitFailed, "cannot write " + file + " (" + reason + ")");
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fclose(out) != 0 || !written) {
        os::RemoveFile(temporary);
        return Complain(kExitFailed, "cannot write " + file);
    }
    if (!os::MoveIntoPlace(temporary, file, &reason)) {
        os::RemoveFile(temporary);
        return Complain(kExitFailed, "cannot write " + file + " (" + reason + ")");
    }
    std::printf("exported %d preset%s to %s\n", count, count == 1 ? "" : "s", file.c_str());
    return kExitOk;
}

// The plug-in builds or repairs its store when its dialog opens.
bool EnsureStore(const Context& context, std::string* error) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const StoredState state = ReadStoredState();
        if (state.exists && state.problem.empty()) return true;
        PluginLoader plugin;
        if (!plugin.Load(context.pluginPath)) {
            *error = plugin.error();
            return false;
        }
        RunRequest session;
        session.steps = {SetupStep::Make(SetupStep::Kind::PressCancel)};
        const RunOutcome outcome = RunPlugin(plugin, session);
        if (outcome.unstored) {
            *error = outcome.error;
            return false;
        }
    }
    const StoredState state = ReadStoredState();
    if (state.exists && state.problem.empty()) return true;
    *error = "the plug-in did not create its store";
    return false;
}

int ImportPresets(const Context& context, const Args& args) {
    if (args.size() != 1) return Complain(kExitUsage, "presets import takes one FILE");
    InstallInterruptHandler();  // a Ctrl-C cancels before the store changes, never during
    std::vector<IncomingPreset> presets;
    std::vector<std::string> problems;
    if (!ReadPresetFile(args[0], &presets, &problems)) {
        for (const std::string& problem : problems) Complain(kExitFailed, problem);
        return Complain(kExitFailed, "nothing was imported");
    }
    std::string error;
    if (const std::string unreadable = os::StoreReadProblem(); !unreadable.empty()) {
        return Complain(kExitFailed, unreadable + "; nothing was imported");
    }
    if (!EnsureStore(context, &error) || Interrupted()) {
        if (Interrupted()) return Complain(kExitCancelled, "cancelled; nothing was imported");
        return Complain(kExitFailed, error + "; nothing was imported");
    }
    if (!StorePresets(&presets, &error)) return Complain(kExitFailed, error + "; nothing was imported");
    for (const IncomingPreset& preset : presets) {
        std::printf("%s %s preset '%s'\n", preset.replaced ? "replaced" : "added", TableOf(preset.effect).name,
                    Printable(preset.name).c_str());
    }
    return kExitOk;
}

}  // namespace

int PresetsCommand(const Context& context, const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kPresetsHelp, stdout);
        return kExitOk;
    }
    if (!args.empty() && args[0] == "export") return ExportPresets(Args(args.begin() + 1, args.end()));
    if (!args.empty() && args[0] == "import") return ImportPresets(context, Args(args.begin() + 1, args.end()));
    return ListPresets(args);
}

int SettingsCommand(const Context&, const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kSettingsHelp, stdout);
        return kExitOk;
    }
    if (!args.empty()) return Complain(kExitUsage, "settings takes no arguments");
    int status = kExitOk;
    if (!StoreReadable(&status, "")) return status;
    const StoredState state = ReadStoredState();
    ReportStoreProblems();
    std::printf("store: %s\n", os::StoreLocation().c_str());
    if (!state.exists) {
        std::printf("nothing stored yet; the plug-in starts from these defaults\n");
    } else if (!state.problem.empty()) {
        std::printf("the store is damaged: '%s' is missing; the plug-in will reset it when its dialog next opens\n",
                    state.problem.c_str());
    }
    const int last = state.lastActiveEffect;
    const EffectTable* stored = FindEffect(last);
    std::printf("active effect: %s\n", stored != nullptr ? stored->name : "(none)");
    const EffectTable& active = stored != nullptr ? *stored : *kEffects[0];
    const auto* block = reinterpret_cast<const double*>(reinterpret_cast<const unsigned char*>(&state.settings) +
                                                        active.blockOffset);
    std::printf("mix: wet %s %%, dry %s %%, %s\n", Number(block[1]).c_str(), Number(block[2]).c_str(),
                block[3] != 0.0 ? "linked" : "not linked");
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        std::printf("\n%s\n", table.name);
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            const SettingInfo& row = table.settings[i];
            std::printf("  %-28s %-8s (%s)\n", SettingName(row).c_str(),
                        Number(SettingValue(state.settings, table, row)).c_str(), Range(row).c_str());
        }
    }
    return state.problem.empty() ? kExitOk : kExitFailed;
}

}  // namespace tovana
