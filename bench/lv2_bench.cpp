// run() of the LV2 plug-ins as a host calls it: the bundle's library loaded
// with dlopen, each effect's stereo form at 48 kHz with one of its built-in
// presets, fed the bundled voice (looped) in host blocks of 64, 256 and 1024
// frames. Every block is timed on the thread's CPU clock:
//   core_pct  processing time / audio time, in percent of one core
//   median_us the median block's time
//   worst_x   the slowest block / the median block
//   p999_x    the 99.9th percentile block / the median block
//   steady_x  the same as worst_x with each block's time the least of the
//             passes over the same audio: a step of the effect that costs
//             more on some blocks shows in every pass, another process
//             taking the core away in one of them does not
//   change_x  the median block right after a control change / the median
//             block: every 100th block the effect's first own setting
//             steps by one, and the block that takes it re-derives what
//             depends on it
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>
#include <sndfile.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lv2/bundle_model.h"
#include "settings/builtin_presets.h"

namespace {

constexpr double kRate = 48000;
constexpr std::size_t kAudioFrames = 20 * 48000;  // 20 s per pass

struct Case {
    EffectKind effect;
    const char* preset;
};
const Case kCases[] = {
    {EffectKind::Alienator, "Computer"},
    {EffectKind::Communicator, "Stormtrooper"},
    {EffectKind::Deepenator, "Dark Lord"},
    {EffectKind::Cylonator, "Battle Droid"},
};

// The bundled stereo voice, looped to kAudioFrames, one vector per channel.
const std::vector<std::vector<float>>& Voice() {
    static const std::vector<std::vector<float>> voice = [] {
        std::vector<std::vector<float>> channels(2, std::vector<float>(kAudioFrames));
        SF_INFO info{};
        SNDFILE* file = sf_open(TOVANA_DATA_DIR "/voice_stereo.wav", SFM_READ, &info);
        if (file == nullptr || info.channels != 2) std::abort();
        std::vector<float> frames(static_cast<std::size_t>(info.frames) * 2);
        sf_readf_float(file, frames.data(), info.frames);
        sf_close(file);
        for (std::size_t i = 0; i < kAudioFrames; ++i) {
            const std::size_t source = i % static_cast<std::size_t>(info.frames);
            channels[0][i] = frames[2 * source];
            channels[1][i] = frames[2 * source + 1];
        }
        return channels;
    }();
    return voice;
}

const LV2_Descriptor* StereoDescriptor(EffectKind effect) {
    static void* library = dlopen(TOVANA_LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    auto descriptorOf = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    for (std::uint32_t i = 0; i < lv2plugin::kFormCount; ++i) {
        if (lv2plugin::kForms[i].effect == effect && lv2plugin::kForms[i].channels == 2) return descriptorOf(i);
    }
    return nullptr;
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void BM_Lv2Run(benchmark::State& state, Case c, std::size_t block) {
    const LV2_Descriptor* descriptor = StereoDescriptor(c.effect);
    if (descriptor == nullptr) {
        state.SkipWithError("the bundle's library cannot be loaded");
        return;
    }
    const BuiltInPreset* preset = FindBuiltInPreset(c.effect, c.preset);
    const std::vector<lv2bundle::ControlPort> ports = lv2bundle::ControlPorts(c.effect);
    const auto controls = static_cast<std::uint32_t>(ports.size());
    std::vector<float> values(controls + 1);
    for (std::uint32_t i = 0; i < controls; ++i) {
        values[i] = static_cast<float>(lv2bundle::PresetPortValue(*ports[i].setting, preset->block));
    }
    values[controls] = 1;  // seed
    std::uint32_t stepped = 0;  // the first setting that is not the mix
    while (ports[stepped].setting->kind == SettingKind::Percent) ++stepped;
    const float base = values[stepped];
    const float other = base + 1 <= ports[stepped].setting->maximum ? base + 1 : base - 1;

    const LV2_Feature* const features[] = {nullptr};
    LV2_Handle handle = descriptor->instantiate(descriptor, kRate, TOVANA_LV2_BUNDLE_DIR "/", features);
    for (std::uint32_t i = 0; i <= controls; ++i) descriptor->connect_port(handle, i, &values[i]);
    const auto& voice = Voice();
    std::vector<float> outLeft(block), outRight(block);
    descriptor->connect_port(handle, lv2plugin::AudioOutPort(controls, 2, 0), outLeft.data());
    descriptor->connect_port(handle, lv2plugin::AudioOutPort(controls, 2, 1), outRight.data());
    descriptor->activate(handle);

    const std::size_t blocks = kAudioFrames / block;
    std::vector<double> times;  // every block of every pass
    std::vector<double> changed;  // the blocks that took a change
    times.reserve(blocks * static_cast<std::size_t>(state.max_iterations));
    for (auto _ : state) {
        for (std::size_t b = 0; b < blocks; ++b) {
            const std::size_t at = b * block;
            const bool change = b % 100 == 50;
            if (change) values[stepped] = values[stepped] == base ? other : base;
            descriptor->connect_port(handle, lv2plugin::AudioInPort(controls, 0), const_cast<float*>(voice[0].data() + at));
            descriptor->connect_port(handle, lv2plugin::AudioInPort(controls, 1), const_cast<float*>(voice[1].data() + at));
            const double start = ThreadSeconds();
            descriptor->run(handle, static_cast<std::uint32_t>(block));
            times.push_back(ThreadSeconds() - start);
            if (change) changed.push_back(times.back());
        }
        benchmark::DoNotOptimize(outLeft.data());
    }
    descriptor->deactivate(handle);
    descriptor->cleanup(handle);

    double total = 0;
    for (double t : times) total += t;
    std::vector<double> steady(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(blocks));
    for (std::size_t i = blocks; i < times.size(); ++i) steady[i % blocks] = std::min(steady[i % blocks], times[i]);
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::sort(steady.begin(), steady.end());
    const double audioSeconds = static_cast<double>(times.size() * block) / kRate;
    state.counters["core_pct"] = 100.0 * total / audioSeconds;
    state.counters["median_us"] = median * 1e6;
    state.counters["worst_x"] = sorted.back() / median;
    state.counters["p999_x"] = sorted[sorted.size() * 999 / 1000] / median;
    state.counters["steady_x"] = steady.back() / steady[steady.size() / 2];
    std::sort(changed.begin(), changed.end());
    state.counters["change_x"] = changed[changed.size() / 2] / median;
}

const bool kRegistered = [] {
    for (const Case& c : kCases) {
        for (std::size_t block : {64, 256, 1024}) {
            const std::string name = std::string("BM_Lv2Run/") + TableOf(c.effect).name + "/" + std::to_string(block);
            benchmark::RegisterBenchmark(name.c_str(), BM_Lv2Run, c, block)
                ->Iterations(3)
                ->Unit(benchmark::kMillisecond);
        }
    }
    return true;
}();

}  // namespace
