// The streaming engine as an audio host drives it: the minute of stereo
// voice taken as 48 kHz, fed to one processor per effect in calls of 64,
// 256 and 1024 frames. core_pct is the share of one core the effect takes
// in real time; worst_x and p999_x are the slowest call and the 99.9th
// percentile call over the median call (thread CPU time per call), which
// show any call that costs far more than the others.
#include <time.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/bench_audio.h"
#include "dsp/processor.h"
#include "settings/setting_tables.h"

namespace {

constexpr std::int32_t kHostRate = 48000;

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// The effect's settings are those in TheEffectSettings().
void RunEngine(benchmark::State& state, EffectKind kind) {
    const EffectSettings& settings = TheEffectSettings();
    const void* block = reinterpret_cast<const char*>(&settings) + TableOf(kind).blockOffset;
    const dsp::MixLevels mix{settings.workingMix.wetMix, settings.workingMix.dryMix};
    const auto callFrames = static_cast<std::size_t>(state.range(0));
    const std::vector<std::int16_t>& voice = bench::VoiceLikeStereo();
    const std::size_t frames = voice.size() / 2;
    std::vector<std::int16_t> audio;
    std::vector<double> calls;
    calls.reserve(frames / callFrames + 1);
    double audioSeconds = 0.0;
    double callSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        audio = voice;
        calls.clear();
        auto processor = dsp::CreateProcessor(kind, block, mix, {2, kHostRate}, 1);
        state.ResumeTiming();
        for (std::size_t at = 0; at + callFrames <= frames; at += callFrames) {
            const double start = ThreadSeconds();
            processor->Process(audio.data() + 2 * at, callFrames);
            calls.push_back(ThreadSeconds() - start);
            callSeconds += calls.back();
        }
        audioSeconds += static_cast<double>(calls.size() * callFrames) / kHostRate;
    }
    std::sort(calls.begin(), calls.end());
    const double median = calls[calls.size() / 2];
    state.counters["core_pct"] = 100.0 * callSeconds / audioSeconds;
    state.counters["worst_x"] = calls.back() / median;
    state.counters["p999_x"] = calls[calls.size() * 999 / 1000] / median;
}

void BM_EngineAlienatorComputer(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Alienator, "Computer");
    RunEngine(state, EffectKind::Alienator);
}
void BM_EngineCommunicatorStormtrooper(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Communicator, "Stormtrooper");
    RunEngine(state, EffectKind::Communicator);
}
// As BM_CommunicatorStaticHeavy: bursts and re-banding on many samples.
void BM_EngineCommunicatorStaticHeavy(benchmark::State& state) {
    bench::SelectStaticHeavyCommunicator();
    RunEngine(state, EffectKind::Communicator);
}
void BM_EngineDeepenatorDarkLord(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Deepenator, "Dark Lord");
    RunEngine(state, EffectKind::Deepenator);
}
void BM_EngineCylonatorBattleDroid(benchmark::State& state) {
    bench::SelectBuiltInPreset(EffectKind::Cylonator, "Battle Droid");
    RunEngine(state, EffectKind::Cylonator);
}
BENCHMARK(BM_EngineAlienatorComputer)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineCommunicatorStormtrooper)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineCommunicatorStaticHeavy)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineDeepenatorDarkLord)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineCylonatorBattleDroid)->Arg(64)->Arg(256)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace
