// tovana demo and tovana info.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "tools/commands.h"
#include "tools/os.h"
#include "tools/plugin_run.h"

#ifndef TOVANA_SOURCE_DATA_DIR
#define TOVANA_SOURCE_DATA_DIR ""
#endif

namespace tovana {
namespace {

const char kDemoHelp[] =
    "usage: tovana demo [--seed N] [OUTDIR]\n"
    "\n"
    "Runs the bundled voice sample through every built-in preset of every\n"
    "effect into OUTDIR (default ./tovana-demo) and prints a table of the\n"
    "levels before and after and the real-time factor (seconds of audio per\n"
    "second of processing). A temporary store is used, so your own settings\n"
    "and presets are untouched.\n";

const char kInfoHelp[] =
    "usage: tovana info\n"
    "\n"
    "Loads the plug-in and shows what it reports to the editor.\n";

const char kSampleName[] = "voice_stereo.wav";

struct Levels {
    double peakDb = -INFINITY;
    double rmsDb = -INFINITY;
    double seconds = 0.0;
};

bool Measure(const std::string& path, Levels* levels, std::string* error) {
    AudioInput input;
    if (!input.Open(path, error)) return false;
    constexpr std::int64_t kBlock = 8192;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kBlock * input.channels()));
    double peak = 0.0;
    double sum = 0.0;
    for (std::int64_t at = 0; at < input.frames(); at += kBlock) {
        const std::int64_t n = std::min(kBlock, input.frames() - at);
        if (!input.Read(at, samples.data(), n, error)) return false;
        for (std::int64_t i = 0; i < n * input.channels(); ++i) {
            const double x = samples[static_cast<std::size_t>(i)] / 32768.0;
            peak = std::max(peak, std::fabs(x));
            sum += x * x;
        }
    }
    const double count = static_cast<double>(input.frames()) * input.channels();
    levels->peakDb = 20.0 * std::log10(peak);
    levels->rmsDb = count > 0 ? 10.0 * std::log10(sum / count) : -INFINITY;
    levels->seconds = input.sampleRate() > 0 ? static_cast<double>(input.frames()) / input.sampleRate() : 0.0;
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = os::LastSeparator(path);
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string FindSample(const Context& context) {
    const std::string here = DirectoryOf(context.self);
    for (const std::string& dir :
         {os::Join(here, "data"), os::Join(here, "../share/tovana"), std::string(TOVANA_SOURCE_DATA_DIR)}) {
        if (dir.empty()) continue;
        const std::string path = os::Join(dir, kSampleName);
        if (os::IsReadable(path)) return path;
    }
    return "";
}

std::string Slug(const std::string& text) {
    std::string slug;
    for (char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!slug.empty() && slug.back() != '-') {
            slug += '-';
        }
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    return slug;
}

std::string Db(double value) {
    char text[32];
    if (std::isinf(value)) return "-inf";
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// A store of its own for the demo, removed afterwards.
class TemporaryStore {
public:
    TemporaryStore() {
        dir_ = os::MakeTemporaryDirectory();
        if (dir_.empty()) {
            problem_ = "cannot make a temporary store";
        } else if (!os::UseStoreIn(dir_)) {
            os::RemoveEmptyDirectory(dir_);
            dir_.clear();
            problem_ = "the demo needs a store of its own, and the plug-in keeps its settings in " +
                       os::StoreLocation() + ", which the demo would change; nothing was run";
        }
    }
    ~TemporaryStore() {
        if (dir_.empty()) return;
        os::RestoreStore();
        for (const char* name : {"registry.reg", "registry.reg.lock", "registry.reg.tmp"}) {
            os::RemoveFile(os::Join(dir_, name));
        }
        os::RemoveEmptyDirectory(dir_);
    }
    bool ok() const { return !dir_.empty(); }
    const std::string& problem() const { return problem_; }

private:
    std::string dir_;
    std::string problem_;
};

}  // namespace

int InfoCommand(const Context& context, const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kInfoHelp, stdout);
        return kExitOk;
    }
    PluginLoader plugin;
    if (!plugin.Load(context.pluginPath)) return Complain(kExitFailed, plugin.error());
    PluginInfoRecord info{};
    const unsigned result = plugin.query(&info);
    auto text = [&](std::size_t offset) { return reinterpret_cast<const char*>(info.bytes + offset); };
    std::printf("plug-in:    %s\n", context.pluginPath.c_str());
    std::printf("name:       %s\n", text(info_offsets::kName));
    std::printf("copyright:  %s\n", text(info_offsets::kCopyright));
    std::printf("command:    %s\n", text(info_offsets::kCommandText));
    std::printf("result:     0x%04X\n", result);
    return kExitOk;
}

int DemoCommand(const Context& context, const Args& args) {
    if (WantsHelp(args)) {
        std::fputs(kDemoHelp, stdout);
        return kExitOk;
    }
    std::string outDir = "tovana-demo";
    std::optional<std::uint32_t> seed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seed" && i + 1 < args.size()) {
            char* end = nullptr;
            const unsigned long long value = std::strtoull(args[++i].c_str(), &end, 10);
            if (*end != '\0' || value > UINT32_MAX) return Complain(kExitUsage, "--seed takes a whole number");
            seed = static_cast<std::uint32_t>(value);
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            return Complain(kExitUsage, "unknown option " + args[i] + " (see tovana demo --help)");
        } else {
            outDir = args[i];
        }
    }
    TemporaryStore store;
    if (!store.ok()) return Complain(kExitFailed, store.problem());
    const std::string sample = FindSample(context);
    if (sample.empty()) return Complain(kExitFailed, std::string("cannot find the bundled sample ") + kSampleName);
    std::string error;
    if (os::KindOf(outDir) == os::FileKind::Missing && !os::MakeDirectory(outDir, &error)) {
        return Complain(kExitFailed, "cannot create " + outDir + ": " + error);
    }
    Levels before;
    if (!Measure(sample, &before, &error)) return Complain(kExitFailed, error);
    PluginLoader plugin;
    if (!plugin.Load(context.pluginPath)) return Complain(kExitFailed, plugin.error());
    InstallInterruptHandler();

    std::printf("sample: %s (%.1f s), peak %s dBFS, RMS %s dBFS\n\n", sample.c_str(), before.seconds,
                Db(before.peakDb).c_str(), Db(before.rmsDb).c_str());
    std::printf("levels in dBFS, x rt: seconds of audio processed per second; files in %s\n\n", outDir.c_str());
    std::printf("%-13s %-26s %-38s %8s %8s %8s %8s %6s\n", "effect", "preset", "output", "peak in", "peak out",
                "rms in", "rms out", "x rt");
    int failures = 0;
    for (int e = 0; e < kEffectCount && !Interrupted(); ++e) {
        const auto kind = static_cast<EffectKind>(e);
        for (const ListedPreset& preset : PresetList(kind, {})) {
            if (Interrupted()) break;
            const std::string output =
                os::Join(outDir, Lower(TableOf(e).name) + "-" + Slug(preset.name) + ".wav");
            AudioInput input;
            AudioOutput out;
            if (!input.Open(sample, &error) ||
                !out.Create(output, OutputFormatFor(output, input.channels()), input.channels(),
                            input.sampleRate(), &error)) {
                return Complain(kExitFailed, error);
            }
            SetupRequest request;
            request.pickEffect = true;
            request.effect = kind;
            request.preset = preset.name;
            RunRequest run;
            run.steps = PlanSetup(request);
            run.input = &input;
            run.output = &out;
            run.count = input.frames();
            run.seed = seed;
            const RunOutcome outcome = RunPlugin(plugin, run);
            if (outcome.unstored) return Complain(kExitFailed, outcome.error);  // the same for every preset
            Levels after;
            if (outcome.status != kExitOk || !out.Commit(&error) || !Measure(output, &after, &error)) {
                if (outcome.status == kExitCancelled) break;
                std::fprintf(stderr, "tovana: %s %s: %s\n", TableOf(e).name, preset.name.c_str(),
                             outcome.error.empty() ? error.c_str() : outcome.error.c_str());
                ++failures;
                continue;
            }
            const double factor = outcome.processSeconds > 0 ? before.seconds / outcome.processSeconds : 0.0;
            std::printf("%-13s %-26s %-38s %8s %8s %8s %8s %6.0f\n", TableOf(e).name, preset.name.c_str(),
                        output.substr(os::LastSeparator(output) + 1).c_str(), Db(before.peakDb).c_str(), Db(after.peakDb).c_str(),
                        Db(before.rmsDb).c_str(), Db(after.rmsDb).c_str(), factor);
            std::fflush(stdout);
        }
    }
    if (Interrupted()) return Complain(kExitCancelled, "cancelled");
    return failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace tovana
