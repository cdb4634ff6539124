// tovana apply: one file, or a batch with each file in a process of its own.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "tools/apply_options.h"
#include "tools/commands.h"
#include "tools/os.h"
#include "tools/plugin_run.h"
#include "tools/spectrogram.h"

namespace tovana {
namespace {

std::string BaseName(const std::string& path) {
    const std::size_t slash = os::LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Checks the effect options against the tables and the store as the dialog
// will find it. Nothing is changed.
bool PlanFromOptions(const EffectOptions& effect, std::vector<SetupStep>* steps, std::string* error) {
    if (effect.empty()) {
        *steps = PlanSetup(SetupRequest{});
        return true;
    }
    SetupRequest request;
    if (!ValidateOptions(effect, CurrentDialogState(), &request, error)) return false;
    *steps = PlanSetup(request);
    return true;
}

int ApplyOne(const Context& context, const ApplyOptions& options) {
    std::vector<SetupStep> steps;
    std::string error;
    if (!PlanFromOptions(options.effect, &steps, &error)) return Complain(kExitUsage, error);

    const std::string& inputPath = options.inputs[0];
    AudioInput input;
    if (!input.Open(inputPath, &error)) return Complain(kExitFailed, error);
    if (input.channels() > 2) {
        return Complain(kExitFailed, inputPath + " has " + std::to_string(input.channels()) +
                                         " channels; the plug-in processes mono and stereo only");
    }
    std::int64_t first = 0;
    std::int64_t count = input.frames();
    if (options.selectionFirst) {
        if (*options.selectionLast >= input.frames()) {
            return Complain(kExitUsage, "--selection " + std::to_string(*options.selectionFirst) + ":" +
                                            std::to_string(*options.selectionLast) + " lies outside " + inputPath +
                                            " (frames 0 to " + std::to_string(input.frames() - 1) + ")");
        }
        first = *options.selectionFirst;
        count = *options.selectionLast - first + 1;
    }
    if (!SelectionFits(count, input.channels())) {
        return Complain(kExitFailed, "the selection of " + std::to_string(count) +
                                         " frames is longer than the plug-in can address (at most " +
                                         std::to_string(UINT32_MAX / (2 * input.channels())) +
                                         " frames); process it in parts with --selection");
    }
    const int format = OutputFormatFor(options.output, input.channels());
    if (format == 0) {
        return Complain(kExitUsage, "cannot tell a 16-bit audio format from the name " + options.output +
                                        " (use one of the extensions " + OutputExtensions() + ")");
    }
    if (!input.is16Bit() && !options.quiet) {
        std::fprintf(stderr, "tovana: %s is %s; converting to 16-bit for the plug-in\n", inputPath.c_str(),
                     input.encoding().c_str());
    }
    PluginLoader plugin;
    if (!plugin.Load(context.pluginPath)) return Complain(kExitFailed, plugin.error());
    AudioOutput output;
    if (!output.Create(options.output, format, input.channels(), input.sampleRate(), &error)) {
        return Complain(kExitFailed, error);
    }

    RunRequest run;
    run.steps = std::move(steps);
    run.input = &input;
    run.output = &output;
    run.first = first;
    run.count = count;
    run.seed = options.seed;
    run.progress = !options.quiet && !options.noProgress && os::IsTerminal(stderr);
    const RunOutcome outcome = RunPlugin(plugin, run);
    if (outcome.status != kExitOk) {
        output.Discard();
        if (outcome.status == kExitCancelled) return Complain(kExitCancelled, "cancelled; " + options.output +
                                                                                  " was not written");
        return Complain(outcome.status, outcome.error);
    }
    if (!output.Close(&error)) return Complain(kExitFailed, error);
    if (!options.spectrogram.empty() &&
        !WriteSpectrogram(inputPath, output.temporaryPath(), options.spectrogram, first, count, &error)) {
        output.Discard();
        return Complain(kExitFailed, error);
    }
    input.Close();  // OUTPUT may be INPUT
    if (!output.Commit(&error)) return Complain(kExitFailed, error);
    return kExitOk;
}

// The name a batch gives the output of `input` in `outDir`.
std::string BatchOutputPath(const std::string& outDir, const std::string& input) {
    std::string name = BaseName(input);
    if (OutputFormatFor(name, 2) == 0) {
        const std::size_t dot = name.find_last_of('.');
        name = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + ".wav";
    }
    return os::Join(outDir, name);
}

os::ProcessId Spawn(const Context& context, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--plugin", context.pluginPath};
    all.insert(all.end(), args.begin(), args.end());
    return os::StartProcess(context.self, all);
}

int ApplyBatch(const Context& context, const ApplyOptions& options) {
    std::vector<SetupStep> steps;
    std::string error;
    if (!PlanFromOptions(options.effect, &steps, &error)) return Complain(kExitUsage, error);
    std::map<std::string, std::string> outputs;
    std::set<std::string> names;
    for (const std::string& input : options.inputs) {
        const std::string output = BatchOutputPath(options.outDir, input);
        if (!names.insert(output).second) {
            return Complain(kExitUsage, "two inputs would both be written to " + output);
        }
        outputs[input] = output;
    }
    const os::FileKind kind = os::KindOf(options.outDir);
    if (kind == os::FileKind::Missing) {
        if (!os::MakeDirectory(options.outDir, &error)) {
            return Complain(kExitFailed, "cannot create " + options.outDir + ": " + error);
        }
    } else if (kind != os::FileKind::Directory) {
        return Complain(kExitUsage, options.outDir + " is not a directory");
    }
    // The dialog is set up once; every file then repeats the stored
    // settings in a fresh plug-in process.
    if (!options.effect.empty()) {
        PluginLoader plugin;
        if (!plugin.Load(context.pluginPath)) return Complain(kExitFailed, plugin.error());
        RunRequest setup;
        setup.steps = steps;
        const RunOutcome outcome = RunPlugin(plugin, setup);
        if (outcome.status != kExitOk) return Complain(outcome.status, outcome.error);
    }
    const int jobs = options.jobs > 0 ? options.jobs : os::ProcessorCount();
    std::map<os::ProcessId, std::string> running;
    std::size_t next = 0;
    int failed = 0;
    int worst = kExitOk;
    bool forwarded = false;
    while (next < options.inputs.size() || !running.empty()) {
        while (!Interrupted() && next < options.inputs.size() && static_cast<int>(running.size()) < jobs) {
            const std::string& input = options.inputs[next++];
            const os::ProcessId child = Spawn(context, BatchChildArgs(options, input, outputs[input]));
            if (child < 0) {
                std::fprintf(stderr, "tovana: %s: cannot start a process for it\n", Printable(input).c_str());
                ++failed;
                worst = std::max(worst, kExitFailed);
                continue;
            }
            running[child] = input;
        }
        if (Interrupted() && !forwarded) {
            for (const auto& entry : running) os::InterruptProcess(entry.first);
            forwarded = true;
        }
        if (running.empty()) break;
        os::ProcessId done = 0;
        int code = 0;
        if (!os::WaitForAnyProcess(&done, &code)) break;
        auto entry = running.find(done);
        if (entry == running.end()) continue;
        if (code == kExitOk) {
            if (!options.quiet) {
                std::printf("%s -> %s\n", Printable(entry->second).c_str(), Printable(outputs[entry->second]).c_str());
            }
        } else {
            if (code != kExitCancelled) {
                std::fprintf(stderr, "tovana: %s: failed (exit status %d)\n", Printable(entry->second).c_str(),
                             code);
            }
            ++failed;
            worst = std::max(worst, code);
        }
        running.erase(entry);
    }
    if (Interrupted()) return Complain(kExitCancelled, "cancelled");
    if (failed > 0) {
        std::fprintf(stderr, "tovana: %d of %zu files failed\n", failed, options.inputs.size());
        return worst == kExitUsage ? kExitUsage : kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int ApplyCommand(const Context& context, const Args& args) {
    ApplyOptions options;
    std::string error;
    if (!ParseApplyOptions(args, &options, &error)) return Complain(kExitUsage, error);
    if (options.help) {
        std::fputs(kApplyHelp, stdout);
        return kExitOk;
    }
    // A store that cannot be read would make the plug-in reset it on every
    // run, which can never succeed.
    if (const std::string unreadable = os::StoreReadProblem(); !unreadable.empty()) {
        return Complain(kExitFailed, unreadable + "; nothing was processed");
    }
    InstallInterruptHandler();
    return options.outDir.empty() ? ApplyOne(context, options) : ApplyBatch(context, options);
}

}  // namespace tovana
