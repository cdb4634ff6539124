// tovana --complete: the words the shell's completion offers, one a line,
// from the plug-in's own tables and store, so the completion script names
// no effect or preset itself.
#include <cstdio>
#include <set>

#include "tools/audio_io.h"
#include "tools/commands.h"
#include "tools/plugin_run.h"
#include "tools/store_view.h"

namespace tovana {

int CompleteCommand(const Args& args, const std::vector<std::string>& commands) {
    const std::string what = args.empty() ? "" : args[0];
    std::vector<std::string> words;
    if (what == "commands") {
        words = commands;
    } else if (what == "effects") {
        for (int e = 0; e < kEffectCount; ++e) words.push_back(Lower(TableOf(e).name));
    } else if (what == "presets") {
        // One effect's, or every effect's when none (or an unknown one) is named.
        const int only = args.size() > 1 ? EffectByName(args[1]) : -1;
        std::set<std::string> seen;
        for (int e = 0; e < kEffectCount; ++e) {
            if (only >= 0 && e != only) continue;
            const auto kind = static_cast<EffectKind>(e);
            for (const ListedPreset& preset : PresetList(kind, ReadUserPresets(kind))) {
                if (seen.insert(preset.name).second) words.push_back(preset.name);
            }
        }
    } else if (what == "types") {
        const std::string list = OutputExtensions();
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t comma = std::min(list.find(", ", at), list.size());
            words.push_back(list.substr(at, comma - at));
            at = comma + 2;
        }
    } else {
        return Complain(kExitUsage, "--complete takes commands, effects, presets [EFFECT] or types");
    }
    for (const std::string& word : words) std::printf("%s\n", word.c_str());
    return kExitOk;
}

}  // namespace tovana
