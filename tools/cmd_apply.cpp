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
#include "tools/std_streams.h"

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

// What the spectrogram's title says was applied.
std::string DescribeEffect(const EffectOptions& options) {
    const int effect = options.effect.empty() ? CurrentDialogState().lastActiveEffect : EffectByName(options.effect);
    std::string text = effect >= 0 ? TableOf(effect).name : options.effect;
    if (options.preset) text += ", preset \"" + *options.preset + "\"";
    for (const auto& set : options.sets) text += ", " + set.first + " " + set.second;
    if (options.wet) text += ", wet " + *options.wet + " %";
    if (options.dry) text += ", dry " + *options.dry + " %";
    if (!options.preset && options.sets.empty()) text += options.wet || options.dry ? "" : ", stored settings";
    return text;
}

// The output format by --type or by the name; 0 with a message when there is none.
int ChooseFormat(const ApplyOptions& options, const std::string& extension, int channels, std::string* error) {
    const int format = OutputFormatFor("out." + extension, channels);
    if (format == 0) {
        *error = (options.type.empty() ? "cannot write " + options.output : "--type " + options.type) + ": " +
                 OutputFormatAdvice(extension);
    } else if (options.quality && LossyCodec(format).empty()) {
        *error = "--quality is for the lossy outputs (mp3, ogg, opus); ." + extension + " is lossless";
        return 0;
    }
    return format;
}

int ApplyOne(const Context& context, const ApplyOptions& options) {
    std::vector<SetupStep> steps;
    std::string error;
    if (!PlanFromOptions(options.effect, &steps, &error)) return Complain(kExitUsage, error);

    const bool fromPipe = IsStandardStream(options.inputs[0]);
    const bool toPipe = IsStandardStream(options.output);
    if (fromPipe && os::IsTerminal(stdin)) {
        return Complain(kExitUsage, "INPUT - reads audio from a pipe, and standard input is a terminal "
                                    "(sox in.mp3 -t wav - | tovana apply ... - out.wav)");
    }
    if (toPipe && os::IsTerminal(stdout)) {
        return Complain(kExitUsage, "OUTPUT - writes audio into a pipe, and standard output is a terminal "
                                    "(tovana apply ... in.wav - | play -)");
    }
    const std::string inputName = fromPipe ? "standard input" : options.inputs[0];
    const std::string outputName = toPipe ? "standard output" : options.output;
    const std::string extension = !options.type.empty() ? options.type : toPipe ? "wav" : FileExtension(options.output);
    // Whatever the channels turn out to be, the name must name a format.
    if (ChooseFormat(options, extension, 1, &error) == 0 && ChooseFormat(options, extension, 2, &error) == 0) {
        return Complain(kExitUsage, error);
    }

    StandardStreams streams;
    std::string inputPath = options.inputs[0];
    if (fromPipe && !streams.SpoolInput(&inputPath, &error)) {
        return Interrupted() ? Complain(kExitCancelled, "cancelled") : Complain(kExitFailed, error);
    }
    AudioInput input;
    input.ShowAs(inputName);
    if (!input.Open(inputPath, &error)) {
        // Headerless samples, say, come through once SoX gives them a header.
        if (fromPipe) error += " (pipe in a format with a header, e.g. sox IN -t wav - | tovana apply ... -)";
        return Complain(kExitFailed, error);
    }
    if (input.channels() > 2) {
        return Complain(kExitFailed, inputName + " has " + std::to_string(input.channels()) +
                                         " channels; the plug-in processes mono and stereo only");
    }
    std::int64_t first = 0;
    std::int64_t count = input.frames();
    if (options.selectionFirst) {
        if (*options.selectionLast >= input.frames()) {
            return Complain(kExitUsage, "--selection " + std::to_string(*options.selectionFirst) + ":" +
                                            std::to_string(*options.selectionLast) + " lies outside " + inputName +
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
    const int format = ChooseFormat(options, extension, input.channels(), &error);
    if (format == 0) return Complain(kExitUsage, error);
    if (!options.quiet) {
        if (!input.is16Bit()) {
            std::fprintf(stderr, "tovana: %s is %s; converting to 16-bit for the plug-in\n", inputName.c_str(),
                         input.encoding().c_str());
        }
        const std::string codec = LossyCodec(format);
        if (!codec.empty()) {
            std::fprintf(stderr, "tovana: %s is lossy (%s): it sounds like the result but does not keep its exact "
                                 "samples\n", outputName.c_str(), codec.c_str());
        }
        const int rate = WrittenRate(format, input.sampleRate());
        if (rate != input.sampleRate()) {
            std::fprintf(stderr, "tovana: %s takes 8, 12, 16, 24 or 48 kHz; %s is resampled from %d Hz to %d Hz\n",
                         codec.c_str(), outputName.c_str(), input.sampleRate(), rate);
        }
    }
    PluginLoader plugin;
    if (!plugin.Load(context.pluginPath)) return Complain(kExitFailed, plugin.error());
    std::string outputPath = options.output;
    if (toPipe && !streams.OutputPath(extension, &outputPath, &error)) return Complain(kExitFailed, error);
    AudioOutput output;
    output.ShowAs(outputName);
    if (options.quality) output.SetCompression(CompressionLevel(*options.quality));
    if (!output.Create(outputPath, format, input.channels(), input.sampleRate(), &error)) {
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
        if (outcome.status == kExitCancelled) return Complain(kExitCancelled, "cancelled; " + outputName +
                                                                                  " was not written");
        return Complain(outcome.status, outcome.error);
    }
    if (!output.Close(&error)) return Complain(kExitFailed, error);
    if (!options.spectrogram.empty()) {
        SpectrogramRequest picture;
        picture.title = DescribeEffect(options.effect);
        picture.before = {inputPath, "before: " + inputName};
        picture.after = {output.temporaryPath(), "after: " + outputName};
        picture.startSeconds = static_cast<double>(first) / input.sampleRate();
        picture.seconds = static_cast<double>(count) / input.sampleRate();
        if (!WriteSpectrogram(picture, options.spectrogram, &error)) {
            output.Discard();
            return Complain(kExitFailed, error);
        }
    }
    input.Close();  // OUTPUT may be INPUT
    if (!output.Commit(&error)) return Complain(kExitFailed, error);
    if (toPipe && !streams.SendOutput(&error)) return Complain(kExitFailed, error);
    return kExitOk;
}

// The name a batch gives the output of `input` in `outDir`.
// With --type, its extension replaces the input's.
std::string BatchOutputPath(const std::string& outDir, const std::string& input, const std::string& type) {
    std::string name = BaseName(input);
    if (!type.empty() || OutputFormatFor(name, 2) == 0) {
        const std::size_t dot = name.find_last_of('.');
        name = (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "." +
               (type.empty() ? "wav" : type);
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
        const std::string output = BatchOutputPath(options.outDir, input, options.type);
        if (!names.insert(output).second) {
            return Complain(kExitUsage, "two inputs would both be written to " + output);
        }
        ApplyOptions one = options;
        one.output = output;
        if (ChooseFormat(one, FileExtension(output), 1, &error) == 0 &&
            ChooseFormat(one, FileExtension(output), 2, &error) == 0) {
            return Complain(kExitUsage, error);
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
        std::fputs(WithEffectNames(kApplyHelp).c_str(), stdout);
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
