// Every effect against a second, plain implementation written separately
// (tests/reference): both must give the same bytes for mono and stereo, the
// common sample rates and some odd ones, selections of several blocks with
// an odd remainder, voice-like, noise-like and silent audio, every built-in
// preset, random settings within the slider ranges and a few values only a
// preset or a stored record can carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dsp/pitch_shifter.h"
#include "host/effect_runs.h"
#include "platform/clock.h"
#include "settings/builtin_presets.h"
#include "settings/effect_settings.h"
#include "settings/setting_tables.h"
#include "tests/dice.h"
#include "tests/reference/reference_effects.h"
#include "tests/test_host.h"

namespace {

using plainref::Samples;

enum class Source { Voice, Noise, Silence };

const char* NameOf(Source s) {
    return s == Source::Voice ? "voice" : s == Source::Noise ? "noise" : "silence";
}

// Two blocks and an odd remainder: 8000 samples make a block of 16000 bytes.
std::size_t FramesFor(int channels) { return channels == 1 ? 2 * 8000 + 1357 : 2 * 4000 + 613; }

// Voiced phrases separated by pauses: harmonics of a gliding fundamental
// under a syllable envelope, some phrases loud enough to wrap when doubled.
Samples MakeAudio(Source source, int channels, int rate, std::uint64_t seed, std::size_t frames = 0) {
    if (frames == 0) frames = FramesFor(channels);
    const int width = channels == 1 ? 1 : 2;
    Samples out(frames * width, 0);
    Dice dice(seed);
    if (source == Source::Silence) return out;
    if (source == Source::Noise) {
        for (auto& v : out) v = static_cast<std::int16_t>(dice.Int(-32768, 32767));
        return out;
    }
    for (int ch = 0; ch < width; ++ch) {
        double phase = 0.0;
        std::size_t n = 0;
        while (n < frames) {
            const std::size_t phrase = static_cast<std::size_t>(dice.Int(rate / 20, rate / 4) + 1);
            const std::size_t pause = static_cast<std::size_t>(dice.Int(rate / 40, rate / 8) + 1);
            const double peak = dice.Int(0, 3) == 0 ? 30000.0 : 2000.0 + dice.Int(0, 12000);
            const double f0 = 90.0 + dice.Int(0, 160);
            for (std::size_t i = 0; i < phrase && n < frames; ++i, ++n) {
                const double t = static_cast<double>(i) / phrase;
                const double env = std::sin(3.141592653589793 * t);
                phase += 6.283185307179586 * f0 * (1.0 + 0.2 * t) / rate;
                double v = 0.0;
                for (int h = 1; h <= 8; ++h) v += std::sin(h * phase) / h;
                v = v * 0.45 * peak * env + (dice.Unit() - 0.5) * 200.0;
                out[n * width + ch] = static_cast<std::int16_t>(std::max(-32768.0, std::min(32767.0, v)));
            }
            for (std::size_t i = 0; i < pause && n < frames; ++i, ++n)
                out[n * width + ch] = static_cast<std::int16_t>(dice.Int(-3, 3));
        }
    }
    return out;
}

// Random settings per effect; TOVANA_XCHK_ROUNDS multiplies them for a
// longer soak outside CI.
int RandomCount() {
    const char* text = std::getenv("TOVANA_XCHK_ROUNDS");
    const int rounds = text ? std::atoi(text) : 1;
    return 16 * (rounds > 0 ? rounds : 1);
}

struct Case {
    int channels;
    int rate;
    Source source;
    std::uint32_t seed;
    std::size_t frames = 0;  // 0: two blocks and an odd remainder
};

std::string Describe(const std::string& what, const Case& c) {
    return what + (c.channels == 1 ? " mono " : " stereo ") + std::to_string(c.rate) + " Hz " +
           NameOf(c.source) + " seed " + std::to_string(c.seed);
}

// Cases cycling through channel counts, rates and sources.
Case NthCase(int i, std::uint32_t salt) {
    static const int kRates[] = {8000, 11025, 22050, 44100, 48000, 9200, 16000, 32000, 6000};
    static const Source kSources[] = {Source::Voice, Source::Voice, Source::Noise, Source::Silence};
    return Case{(i % 2) == 0 ? 1 : 2, kRates[(i / 2 + salt) % 9], kSources[(i + salt) % 4],
                1000u + 7919u * static_cast<std::uint32_t>(i) + salt};
}

// Runs the real effect with the case's seed and compares sample by sample.
void Compare(const std::string& label, const Case& c, const Samples& audio, EffectSettings settings,
             EffectKind effect, const Samples& expected) {
    TestHost host(audio, static_cast<std::uint16_t>(c.channels), c.rate);
    platform::FixRunSeed(c.seed);
    const std::int32_t result = host::RunEffect(effect, host.record, settings);
    platform::FixRunSeed(std::nullopt);
    ASSERT_EQ(result, 0) << Describe(label, c);
    ASSERT_EQ(host.audio.size(), expected.size());
    std::size_t differing = 0, first = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (host.audio[i] != expected[i]) {
            if (differing == 0) first = i;
            ++differing;
        }
    }
    EXPECT_EQ(differing, 0u) << Describe(label, c) << ": first difference at sample " << first
                             << " (frame " << first / (c.channels == 1 ? 1 : 2) << "): effect "
                             << host.audio[first] << ", reference " << expected[first] << ", input "
                             << audio[first];
}

template <class Block>
Block RandomBlock(EffectKind kind, Dice& dice) {
    Block block{};
    const EffectTable& table = TableOf(kind);
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& row = table.settings[i];
        double value = row.minimum;
        if (row.kind == SettingKind::Flag) value = dice.Int(0, 1);
        if (row.kind == SettingKind::Percent) value = dice.Int(0, 100);
        if (row.kind == SettingKind::WholeNumber)
            value = dice.Int(static_cast<int>(row.minimum), static_cast<int>(row.maximum));
        BlockValue(&block, row) = value;
    }
    return block;
}

// Values a stored record or a preset may carry but the sliders never give:
// fractions, flags other than 0 and 1, numbers beyond the slider ranges.
template <class Block>
Block OddBlock(EffectKind kind, Dice& dice) {
    Block block = RandomBlock<Block>(kind, dice);
    const EffectTable& table = TableOf(kind);
    static const double kFlags[] = {0.5, -1.0, 2.0, 0.25, 1.0};
    for (std::size_t i = 0; i < table.settingCount; ++i) {
        const SettingInfo& row = table.settings[i];
        double& value = BlockValue(&block, row);
        if (row.kind == SettingKind::Flag && dice.Int(0, 1)) value = kFlags[dice.Int(0, 4)];
        if (row.kind == SettingKind::Percent) value = dice.Int(0, 1500) / 10.0;
        if (row.kind == SettingKind::WholeNumber) {
            const double span = row.maximum - row.minimum;
            const int pick = dice.Int(0, 3);
            if (pick == 1) value += dice.Unit();
            if (pick == 2) value = std::max(row.minimum - dice.Unit() * span * 0.1, std::min(row.minimum, 0.0));
            if (pick == 3) value = row.maximum + dice.Unit() * span * 0.5;
        }
    }
    return block;
}

// Short and block-sized selections, a channel count other than 1 or 2 and
// the odd values above.
Case NthOddCase(int i) {
    static const std::size_t kFrames[] = {1, 7, 4000, 8000, 8001, 12345};
    static const int kChannels[] = {1, 2, 3};
    static const int kRates[] = {8000, 44100, 11025, 48000, 7000, 22050};
    return Case{kChannels[i % 3], kRates[i % 6], i % 5 == 4 ? Source::Noise : Source::Voice,
                3000u + static_cast<std::uint32_t>(i), kFrames[(i / 3) % 6]};
}

template <class Block>
std::vector<std::pair<std::string, Block>> PresetBlocks(EffectKind kind) {
    std::vector<std::pair<std::string, Block>> out;
    const BuiltInPresetList list = BuiltInPresetsOf(kind);
    for (std::size_t i = 0; i < list.count; ++i) {
        Block block;
        std::memcpy(&block, list.presets[i].block, sizeof block);
        out.emplace_back(list.presets[i].name, block);
    }
    return out;
}

EffectSettings WithMix(double wet, double dry) {
    EffectSettings settings{};
    settings.workingMix = {wet, dry, 1.0};
    return settings;
}

// ---- Alienator ----

void CheckAlienator(const std::string& label, const Case& c, const AlienatorSettings& block) {
    const Samples audio = MakeAudio(c.source, c.channels, c.rate, c.seed, c.frames);
    EffectSettings settings = WithMix(block.wetMix, block.dryMix);
    settings.activeEffect = 0;
    settings.alienator = block;
    const Samples expected =
        plainref::Alienator(audio, c.channels, c.rate, block, settings.workingMix, c.seed);
    Compare(label, c, audio, settings, EffectKind::Alienator, expected);
}

TEST(CrossCheck, AlienatorOddValuesAndLengths) {
    Dice dice(49);
    for (int k = 0; k < RandomCount() * 3 / 4; ++k)
        CheckAlienator("Alienator odd " + std::to_string(k), NthOddCase(k),
           OddBlock<AlienatorSettings>(EffectKind::Alienator, dice));
}

TEST(CrossCheck, AlienatorPresetsAndRandomSettings) {
    int i = 0;
    for (const auto& [name, block] : PresetBlocks<AlienatorSettings>(EffectKind::Alienator))
        for (int k = 0; k < 3; ++k, ++i) CheckAlienator("Alienator " + name, NthCase(i, 1), block);
    Dice dice(11);
    for (int k = 0; k < RandomCount(); ++k, ++i) {
        AlienatorSettings block = RandomBlock<AlienatorSettings>(EffectKind::Alienator, dice);
        // Squelch high on the slider leaves most samples untouched; keep
        // most cases modulating.
        if (k % 3 != 0) block.squelch = dice.Int(-90, -30);
        CheckAlienator("Alienator random " + std::to_string(k), NthCase(i, 3), block);
    }
}

TEST(CrossCheck, AlienatorHoppingEdges) {
    Dice dice(5);
    AlienatorSettings block = RandomBlock<AlienatorSettings>(EffectKind::Alienator, dice);
    block.squelch = -80;
    block.hopEnabled = 1;
    block.carrierFreq = 300;
    block.hopFreqDev = 0;  // as a preset may carry it
    for (int smooth = 0; smooth <= 1; ++smooth) {
        block.smoothEnabled = smooth;
        for (int ch = 1; ch <= 2; ++ch) {
            // hopSamples 0 and 1: 1 ms below and at 1000 frames per second.
            for (int rate : {800, 1000, 8000}) {
                block.hopPeriod = 1;
                block.hopFreqDev = rate == 8000 ? 0 : 250;
                CheckAlienator("Alienator hop edge smooth " + std::to_string(smooth),
                               Case{ch, rate, Source::Voice, 77u + static_cast<std::uint32_t>(rate)}, block);
            }
        }
    }
}

// ---- Communicator ----

void CheckCommunicator(const std::string& label, const Case& c, const CommunicatorSettings& block) {
    const Samples audio = MakeAudio(c.source, c.channels, c.rate, c.seed, c.frames);
    EffectSettings settings = WithMix(block.wetMix, block.dryMix);
    settings.activeEffect = 1;
    settings.communicator = block;
    const Samples expected =
        plainref::Communicator(audio, c.channels, c.rate, block, settings.workingMix, c.seed);
    Compare(label, c, audio, settings, EffectKind::Communicator, expected);
}

TEST(CrossCheck, CommunicatorOddValuesAndLengths) {
    Dice dice(52);
    for (int k = 0; k < RandomCount() * 3 / 4; ++k)
        CheckCommunicator("Communicator odd " + std::to_string(k), NthOddCase(k),
           OddBlock<CommunicatorSettings>(EffectKind::Communicator, dice));
}

TEST(CrossCheck, CommunicatorPresetsAndRandomSettings) {
    int i = 0;
    for (const auto& [name, block] : PresetBlocks<CommunicatorSettings>(EffectKind::Communicator))
        for (int k = 0; k < 3; ++k, ++i) CheckCommunicator("Communicator " + name, NthCase(i, 2), block);
    Dice dice(12);
    for (int k = 0; k < RandomCount(); ++k, ++i) {
        CommunicatorSettings block = RandomBlock<CommunicatorSettings>(EffectKind::Communicator, dice);
        // Frequent re-banding and bursts in most cases: sensitivity low
        // enough to arm, squelch above silence.
        if (k % 3 != 0) {
            block.sensitivity = dice.Int(-60, -20);
            block.squelch = dice.Int(-80, static_cast<int>(block.sensitivity));
            block.changingStatic = dice.Int(60, 100);
        }
        if (k % 4 == 1) block.sensitivity = -90;  // silence bursts from the first sample
        CheckCommunicator("Communicator random " + std::to_string(k), NthCase(i, 5), block);
    }
}

// ---- Deepenator ----

void CheckDeepenator(const std::string& label, const Case& c, const DeepenatorSettings& block) {
    const Samples audio = MakeAudio(c.source, c.channels, c.rate, c.seed, c.frames);
    EffectSettings settings = WithMix(block.wetMix, block.dryMix);
    settings.activeEffect = 2;
    settings.deepenator = block;
    auto shifters = plainref::NewShifters();
    const Samples expected = plainref::Deepenator(audio, c.channels, c.rate, block, settings.workingMix,
                                                  c.seed, *shifters);
    host::testing::ResetPitchShifters();
    Compare(label, c, audio, settings, EffectKind::Deepenator, expected);
    host::testing::ResetPitchShifters();
}

TEST(CrossCheck, DeepenatorOddValuesAndLengths) {
    Dice dice(50);
    for (int k = 0; k < RandomCount() * 3 / 4; ++k)
        CheckDeepenator("Deepenator odd " + std::to_string(k), NthOddCase(k),
           OddBlock<DeepenatorSettings>(EffectKind::Deepenator, dice));
}

TEST(CrossCheck, DeepenatorPresetsAndRandomSettings) {
    int i = 0;
    for (const auto& [name, block] : PresetBlocks<DeepenatorSettings>(EffectKind::Deepenator))
        for (int k = 0; k < 3; ++k, ++i) CheckDeepenator("Deepenator " + name, NthCase(i, 4), block);
    Dice dice(13);
    for (int k = 0; k < RandomCount(); ++k, ++i) {
        DeepenatorSettings block = RandomBlock<DeepenatorSettings>(EffectKind::Deepenator, dice);
        if (k % 4 == 3) block.pitchScaleRight = 18;  // a factor beyond 2, only clamped by jitter
        CheckDeepenator("Deepenator random " + std::to_string(k), NthCase(i, 6), block);
    }
}

// The shifters carry their stream from run to run, across mono and stereo.
TEST(CrossCheck, DeepenatorShiftersAcrossRuns) {
    Dice dice(14);
    auto shifters = plainref::NewShifters();
    host::testing::ResetPitchShifters();
    for (int k = 0; k < 4; ++k) {
        const DeepenatorSettings block = RandomBlock<DeepenatorSettings>(EffectKind::Deepenator, dice);
        const Case c{k == 2 ? 2 : 1, 22050, Source::Voice, 500u + static_cast<std::uint32_t>(k)};
        const Samples audio = MakeAudio(c.source, c.channels, c.rate, c.seed, c.frames);
        EffectSettings settings = WithMix(block.wetMix, block.dryMix);
        settings.deepenator = block;
        const Samples expected = plainref::Deepenator(audio, c.channels, c.rate, block,
                                                      settings.workingMix, c.seed, *shifters);
        Compare("Deepenator run " + std::to_string(k), c, audio, settings, EffectKind::Deepenator, expected);
    }
    host::testing::ResetPitchShifters();
}

// ---- Cylonator ----

void CheckCylonator(const std::string& label, const Case& c, const CylonatorSettings& block) {
    const Samples audio = MakeAudio(c.source, c.channels, c.rate, c.seed, c.frames);
    EffectSettings settings = WithMix(block.wetMix, block.dryMix);
    settings.activeEffect = 3;
    settings.cylonator = block;
    const Samples expected =
        plainref::Cylonator(audio, c.channels, c.rate, block, settings.workingMix, c.seed);
    Compare(label, c, audio, settings, EffectKind::Cylonator, expected);
}

TEST(CrossCheck, CylonatorOddValuesAndLengths) {
    Dice dice(49);
    for (int k = 0; k < RandomCount() * 3 / 4; ++k)
        CheckCylonator("Cylonator odd " + std::to_string(k), NthOddCase(k),
           OddBlock<CylonatorSettings>(EffectKind::Cylonator, dice));
}

TEST(CrossCheck, CylonatorPresetsAndRandomSettings) {
    int i = 0;
    for (const auto& [name, block] : PresetBlocks<CylonatorSettings>(EffectKind::Cylonator))
        for (int k = 0; k < 3; ++k, ++i) CheckCylonator("Cylonator " + name, NthCase(i, 7), block);
    Dice dice(15);
    for (int k = 0; k < RandomCount(); ++k, ++i) {
        const CylonatorSettings block = RandomBlock<CylonatorSettings>(EffectKind::Cylonator, dice);
        CheckCylonator("Cylonator random " + std::to_string(k), NthCase(i, 8), block);
    }
}

// Rates where the top band reaches half the rate and is left out, and the
// band-count boundaries.
TEST(CrossCheck, CylonatorBandEdges) {
    Dice dice(16);
    const CylonatorSettings block = RandomBlock<CylonatorSettings>(EffectKind::Cylonator, dice);
    for (int rate : {5000, 6000, 8000, 8001, 9199, 9200, 9500, 12499, 12500, 26000, 26001, 96000})
        CheckCylonator("Cylonator edge", Case{1 + rate % 2, rate, Source::Voice, 900u}, block);
}

}  // namespace
