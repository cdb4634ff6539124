#include "bench/bench_audio.h"

#include <cmath>
#include <cstring>

#include "host/exports.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/random.h"
#include "settings/builtin_presets.h"
#include "settings/setting_tables.h"

namespace bench {
namespace {

std::vector<std::int16_t>* g_audio = nullptr;

std::int32_t XFM_STDCALL Read(void* buffer, std::uint32_t position, std::uint32_t count) {
    std::memcpy(buffer, reinterpret_cast<char*>(g_audio->data()) + position, count);
    return 1;
}

std::int32_t XFM_STDCALL Write(void* buffer, std::uint32_t position, std::uint32_t count) {
    std::memcpy(reinterpret_cast<char*>(g_audio->data()) + position, buffer, count);
    return 1;
}

std::vector<std::int16_t> MakeVoice() {
    const std::size_t frames = static_cast<std::size_t>(kSampleRate) * kSeconds;
    std::vector<std::int16_t> audio(frames * 2);
    platform::SeedRandom(12345);
    const double twoPi = 6.283185307179586;
    double phase = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / kSampleRate;
        const double pitch = 120.0 + 30.0 * std::sin(twoPi * 0.7 * t) + 10.0 * std::sin(twoPi * 3.1 * t);
        phase += twoPi * pitch / kSampleRate;
        // Syllables of about 0.25 s with a pause every 1.6 s.
        const double syllable = std::pow(std::fabs(std::sin(twoPi * 2.0 * t)), 0.5);
        const double pause = std::fmod(t, 1.6) < 1.3 ? 1.0 : 0.0;
        double tone = 0.0;
        for (int h = 1; h <= 12; ++h) tone += std::sin(h * phase) / h;
        const double breath = (platform::Random() / 32767.0 - 0.5) * 0.02;
        const double value = (0.35 * tone * syllable * pause + breath) * 12000.0;
        audio[2 * n] = static_cast<std::int16_t>(value);
        audio[2 * n + 1] = static_cast<std::int16_t>(value * 0.8);
    }
    return audio;
}

}  // namespace

const std::vector<std::int16_t>& VoiceLikeStereo() {
    static const std::vector<std::int16_t> audio = MakeVoice();
    return audio;
}

void SelectBuiltInPreset(EffectKind kind, const char* presetName) {
    EffectSettings& settings = TheEffectSettings();
    const EffectTable& table = TableOf(kind);
    const BuiltInPreset* preset = FindBuiltInPreset(kind, presetName);
    std::memcpy(BlockOf(settings, table), preset->block, table.blockSize);
    settings.workingMix.wetMix = SettingValue(settings, table, *FindSetting(table, "Wet Mix"));
    settings.workingMix.dryMix = SettingValue(settings, table, *FindSetting(table, "Dry Mix"));
    settings.workingMix.mixLinked = 1.0;
    settings.activeEffect = static_cast<std::int32_t>(kind);
}

void SelectStaticHeavyCommunicator() {
    SelectBuiltInPreset(EffectKind::Communicator, "Total Breakup");
    CommunicatorSettings& c = TheEffectSettings().communicator;
    c.sensitivity = -35;
    c.squelch = -45;
    c.changingStaticEnabled = 1;
    c.changingStatic = 100;
}

std::int32_t ProcessWithXfmDo(std::vector<std::int16_t>& audio, std::uint16_t channels) {
    g_audio = &audio;
    std::int32_t cancel = 0;
    TransformRecord record{};
    record.channels = channels;
    record.bitsPerSample = 16;
    record.bytesPerFrame = static_cast<std::uint16_t>(2 * channels);
    record.sampleRate = kSampleRate;
    record.firstFrame = 0;
    record.lastFrame = static_cast<std::int32_t>(audio.size() / channels) - 1;
    record.readBlock = &Read;
    record.writeBlock = &Write;
    record.cancelFlag = &cancel;
    return XfmDo(&record);
}

void RunRealTimeBenchmark(benchmark::State& state) {
    platform::FixRunSeed(1);
    std::vector<std::int16_t> audio;
    for (auto _ : state) {
        state.PauseTiming();
        audio = VoiceLikeStereo();
        state.ResumeTiming();
        benchmark::DoNotOptimize(ProcessWithXfmDo(audio, 2));
    }
    state.counters["realtime_x"] = benchmark::Counter(
        static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}

}  // namespace bench
