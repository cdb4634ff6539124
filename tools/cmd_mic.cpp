// tovana mic: an effect's LV2 plug-in on a microphone, offered to every
// application as a virtual microphone through a PipeWire filter-chain.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "lv2/bundle_model.h"
#include "tools/apply_options.h"
#include "tools/commands.h"
#include "tools/filter_chain.h"
#include "tools/live.h"
#include "tools/os.h"
#include "tools/plugin_run.h"

namespace tovana {
namespace {

namespace fs = std::filesystem;

const char kMicHelp[] =
    "usage: tovana mic [EFFECT OPTIONS] [--seed N] [--target SOURCE] [--print-config]\n"
    "\n"
    "Runs an effect live on a microphone through PipeWire and offers the\n"
    "result as a virtual microphone, \"Zentrix Tovana <Effect> (<preset>)\",\n"
    "which any application can pick. It runs until Ctrl-C, which removes it.\n"
    "\n"
    "The effect options are those of tovana apply, with the same checks:\n"
    "  --effect NAME        {effects}\n"
    "  --preset NAME        a built-in or user preset of that effect\n"
    "  --set 'NAME=VALUE'   a setting by its stored name (repeatable)\n"
    "  --wet N, --dry N     mix in percent; giving both clears \"Linked\" first\n"
    "Without them the stored settings and the effect used last are taken.\n"
    "Your stored settings are left as they are.\n"
    "\n"
    "  --seed N             seed the effect's random draws with N (0 to 16777215),\n"
    "                       as tovana apply --seed N does; without it the clock\n"
    "                       seeds them when the microphone starts\n"
    "  --target SOURCE      capture this source (its node.name, see\n"
    "                       pw-cli ls Node) instead of the default microphone\n"
    "  --print-config       write the PipeWire configuration instead of running\n"
    "                       it; saved in ~/.config/pipewire/pipewire.conf.d/ it\n"
    "                       makes the microphone permanent\n"
    "\n"
    "Needs a running PipeWire (with a session manager such as wireplumber)\n"
    "and the LV2 bundle zentrix-tovana.lv2 where LV2 hosts look for it.\n"
    "\n"
    "Exit status: 0 stopped with Ctrl-C (or printed), 1 command-line problem,\n"
    "2 PipeWire not running, the bundle missing, or the chain failing.\n";

struct MicOptions {
    EffectOptions effect;
    std::optional<long> seed;
    std::string target;
    bool printConfig = false;
    bool help = false;
};

bool ParseMicOptions(const Args& args, MicOptions* options, std::string* error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string text;
        const bool inlineValue = SplitInlineValue(&arg, &text);
        auto take = [&]() {
            if (inlineValue) return true;
            if (i + 1 >= args.size()) {
                *error = "option " + arg + " needs a value";
                return false;
            }
            text = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            options->help = true;
        } else if (arg == "--print-config" && !inlineValue) {
            options->printConfig = true;
        } else if (IsEffectOption(arg)) {
            if (!take() || !TakeEffectOption(arg, text, &options->effect, error)) return false;
        } else if (arg == "--seed") {
            if (!take()) return false;
            char* end = nullptr;
            const long seed = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || seed < 0 || seed > static_cast<long>(lv2plugin::kMaxSeed)) {
                *error = "--seed takes a whole number from 0 to " +
                         std::to_string(static_cast<long>(lv2plugin::kMaxSeed)) + ", the plug-in's range (got '" +
                         text + "')";
                return false;
            }
            options->seed = seed;
        } else if (arg == "--target") {
            if (!take()) return false;
            if (text.empty()) {
                *error = "--target needs the name of a source";
                return false;
            }
            options->target = text;
        } else {
            *error = (arg.size() > 1 && arg[0] == '-' ? "unknown option " : "unexpected argument ") + args[i] +
                     " (see tovana mic --help)";
            return false;
        }
    }
    return true;
}

// The settings a run of the effect would use, and the list entry they are.
struct LiveSettings {
    EffectKind effect = EffectKind::Alienator;
    EffectSettings stored{};  // the record as stored after the dialog's OK
    std::string label;        // "Stormtrooper", "Stormtrooper, changed" or "custom"
};

// The values of `block` that reach the plug-in's ports.
std::vector<double> PortValues(EffectKind effect, const void* block) {
    std::vector<double> values;
    for (const lv2bundle::ControlPort& port : lv2bundle::ControlPorts(effect)) {
        values.push_back(lv2bundle::PresetPortValue(*port.setting, block));
    }
    return values;
}

std::string Label(const SetupRequest& request, const DialogState& before, const std::vector<double>& values) {
    const auto& list = before.presets[static_cast<int>(request.effect)];
    const EffectTable& table = TableOf(request.effect);
    auto same = [&](const ListedPreset& entry) {
        // A listed preset holds its values in table order.
        EffectSettings record{};
        void* block = BlockOf(record, table);
        for (std::size_t i = 0; i < table.settingCount; ++i) BlockValue(block, table.settings[i]) = entry.block[i];
        return PortValues(request.effect, block) == values;
    };
    if (!request.preset.empty()) {
        for (const ListedPreset& entry : list) {
            if (entry.name == request.preset) return same(entry) ? entry.name : entry.name + ", changed";
        }
    }
    for (const ListedPreset& entry : list) {
        if (same(entry)) return entry.name;
    }
    return "custom";
}

// Sets the dialog up as tovana apply would, on a copy of the store, and
// reads back what the dialog stored: the plug-in's own rules decide every
// value (presets, the linked mix, sliders' ranges), and the user's store
// stays untouched.
int ResolveSettings(const Context& context, const EffectOptions& options, LiveSettings* settings) {
    const DialogState before = CurrentDialogState();
    SetupRequest request;
    std::string error;
    if (!ValidateOptions(options, before, &request, &error)) return Complain(kExitUsage, error);

    const std::string scratch = os::MakeTemporaryDirectory();
    if (scratch.empty()) return Complain(kExitFailed, "cannot make a temporary folder for a copy of the store");
    std::error_code failure;
    const std::string store = os::StoreLocation();
    if (fs::exists(store, failure)) fs::copy_file(store, os::Join(scratch, "registry.reg"), failure);
    int status = kExitOk;
    if (failure) {
        status = Complain(kExitFailed, "cannot copy " + store + ": " + failure.message());
    } else if (!os::UseStoreIn(scratch)) {
        status = Complain(kExitFailed, "the plug-in's store cannot be set aside here");
    } else {
        PluginLoader plugin;
        RunRequest setup;
        setup.steps = PlanSetup(request);
        if (!plugin.Load(context.pluginPath)) {
            status = Complain(kExitFailed, plugin.error());
        } else if (const RunOutcome outcome = RunPlugin(plugin, setup); outcome.status != kExitOk) {
            status = Complain(outcome.status, outcome.status == kExitCancelled ? "cancelled" : outcome.error);
        } else {
            settings->effect = request.effect;
            settings->stored = ReadStoredState().settings;
        }
        os::RestoreStore();
    }
    fs::remove_all(scratch, failure);
    if (status != kExitOk) return status;
    const EffectTable& table = TableOf(settings->effect);
    const void* block = reinterpret_cast<const char*>(&settings->stored) + table.blockOffset;
    settings->label = Label(request, before, PortValues(settings->effect, block));
    return kExitOk;
}

// The plug-in's control that fixes its random sequence; without it the
// plug-in seeds from the clock each time it starts, as the editor does.
const char kSeedSymbol[] = "seed";

FilterChain ChainFor(const LiveSettings& settings, const std::string& target, std::optional<long> seed) {
    const lv2plugin::PluginForm mono{settings.effect, 1};
    FilterChain chain;
    chain.pluginUri = lv2bundle::FormUri(mono);
    chain.description = lv2bundle::FormName(mono) + " (" + settings.label + ")";
    chain.nodeName = lv2bundle::PortSymbol(lv2bundle::FormName(mono));
    chain.target = target;
    const EffectTable& table = TableOf(settings.effect);
    const void* block = reinterpret_cast<const char*>(&settings.stored) + table.blockOffset;
    const std::vector<double> values = PortValues(settings.effect, block);
    const std::vector<lv2bundle::ControlPort> ports = lv2bundle::ControlPorts(settings.effect);
    for (std::size_t i = 0; i < ports.size(); ++i) chain.controls.emplace_back(ports[i].symbol, values[i]);
    if (seed) chain.controls.emplace_back(kSeedSymbol, static_cast<double>(*seed));
    return chain;
}

std::string Listed(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) text += (text.empty() ? "" : ", ") + folder;
    return text;
}

}  // namespace

int MicCommand(const Context& context, const Args& args) {
    MicOptions options;
    std::string error;
    if (!ParseMicOptions(args, &options, &error)) return Complain(kExitUsage, error);
    if (options.help) {
        std::fputs(WithEffectNames(kMicHelp).c_str(), stdout);
        return kExitOk;
    }
    InstallInterruptHandler();
    LiveSettings settings;
    if (const int status = ResolveSettings(context, options.effect, &settings); status != kExitOk) return status;
    const FilterChain chain = ChainFor(settings, options.target, options.seed);

    std::error_code failure;
    const char* lv2Path = std::getenv("LV2_PATH");
    const std::vector<std::string> folders = Lv2SearchPath(lv2Path, std::getenv("HOME"));
    const std::string bundle = FindLv2Bundle(folders, lv2bundle::kBundleName);
    const std::string missing = std::string("the LV2 bundle ") + lv2bundle::kBundleName + " is not installed (looked in " +
                                Listed(folders) + (lv2Path != nullptr && *lv2Path ? ", from LV2_PATH" : "") +
                                "); install it with cmake --install build, or copy build/lib/lv2/" +
                                lv2bundle::kBundleName + " into ~/.lv2";
    if (options.printConfig) {
        if (bundle.empty()) std::fprintf(stderr, "tovana: note: %s\n", Printable(missing).c_str());
        std::fputs(FilterChainDropIn(chain).c_str(), stdout);
        return kExitOk;
    }
    if (bundle.empty()) return Complain(kExitFailed, missing);
    if (lv2Path != nullptr && *lv2Path != '\0') {
        // lilv, in the chain's process, takes absolute folders only (and
        // PipeWire 0.3.65 crashes on the error a relative one gives).
        std::string absolute;
        for (const std::string& folder : folders) {
            absolute += (absolute.empty() ? "" : ":") + fs::absolute(folder, failure).lexically_normal().string();
        }
        setenv("LV2_PATH", absolute.c_str(), 1);
    }
    const std::string socket = live::PipeWireSocket();
    if (!live::PipeWireAnswers(socket)) {
        return Complain(kExitFailed,
                        "PipeWire is not running (" +
                            (socket.empty() ? std::string("XDG_RUNTIME_DIR is not set, so there is no session")
                                            : "nothing answers at " + socket) +
                            "); start it with: systemctl --user start pipewire wireplumber");
    }

    const std::string folder = os::MakeTemporaryDirectory();
    if (folder.empty()) return Complain(kExitFailed, "cannot make a temporary folder for the chain's configuration");
    const std::string config = os::Join(folder, "tovana-mic.conf");
    if (!(std::ofstream(config) << FilterChainProcessConfig(chain))) {
        os::RemoveEmptyDirectory(folder);
        return Complain(kExitFailed, "cannot write " + config);
    }
    const std::string source = options.target.empty() ? "the default microphone" : options.target;
    const live::ChainOutcome outcome = live::RunPipeWire(config, [&] {
        std::fprintf(stderr, "tovana: \"%s\" is ready as a microphone, fed from %s (%s); Ctrl-C removes it\n",
                     Printable(chain.description).c_str(), Printable(source).c_str(), Printable(bundle).c_str());
    });
    os::RemoveFile(config);
    os::RemoveEmptyDirectory(folder);
    if (!outcome.stopped) return Complain(kExitFailed, outcome.error);
    std::fprintf(stderr, "tovana: stopped; \"%s\" is gone\n", Printable(chain.description).c_str());
    return kExitOk;
}

}  // namespace tovana
