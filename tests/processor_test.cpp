// The streaming engine: the output does not depend on how the audio is cut
// into calls and is the editor's run with the same seed; an Update is taken
// from the next call on, keeps the signal held and derives what a new run
// derives; Process, Update and Restart allocate nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "dsp/processor.h"
#include "host/effect_runs.h"
#include "platform/clock.h"
#include "settings/setting_tables.h"
#include "tests/dice.h"
#include "tests/test_host.h"

namespace {

std::atomic<long> theHeapCalls{0};  // operator new and delete of the whole program

__attribute__((noinline)) void* CountedAllocation(std::size_t bytes) {
    ++theHeapCalls;
    return std::malloc(bytes == 0 ? 1 : bytes);
}

__attribute__((noinline)) void CountedRelease(void* p) {
    ++theHeapCalls;
    std::free(p);
}

}  // namespace

void* operator new(std::size_t bytes) {
    if (void* p = CountedAllocation(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t bytes) {
    if (void* p = CountedAllocation(bytes)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return CountedAllocation(bytes); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return CountedAllocation(bytes); }
void operator delete(void* p) noexcept { CountedRelease(p); }
void operator delete[](void* p) noexcept { CountedRelease(p); }
void operator delete(void* p, std::size_t) noexcept { CountedRelease(p); }
void operator delete[](void* p, std::size_t) noexcept { CountedRelease(p); }

namespace {

using Samples = std::vector<std::int16_t>;

constexpr std::uint32_t kSeed = 90210;
constexpr std::int32_t kRate = 44100;


// Phrases of a gliding harmonic voice between pauses of digital silence, so
// that the squelches, gates and bursts act: two blocks and an odd rest.
Samples Speech(int channels) {
    const std::size_t frames = channels == 1 ? 2 * 8000 + 1357 : 3 * 4000 + 613;
    Samples out(frames * channels, 0);
    Dice dice(static_cast<std::uint64_t>(channels) + 11);
    for (int c = 0; c < channels; ++c) {
        std::size_t n = dice.Int(0, 400);
        while (n < frames) {
            const int phrase = dice.Int(kRate / 20, kRate / 8);
            const double peak = 3000.0 + dice.Int(0, 20000);
            const double f0 = 90.0 + dice.Int(0, 160);
            double phase = 0.0;
            for (int i = 0; i < phrase && n < frames; ++i, ++n) {
                const double t = static_cast<double>(i) / phrase;
                phase += 6.283185307179586 * f0 * (1.0 + 0.2 * t) / kRate;
                double v = 0.0;
                for (int h = 1; h <= 6; ++h) v += std::sin(h * phase) / h;
                out[n * channels + c] = static_cast<std::int16_t>(peak * std::sin(3.14159 * t) * v * 0.5);
            }
            n += dice.Int(kRate / 40, kRate / 10);
        }
    }
    return out;
}

const void* BlockOf(const EffectSettings& settings) {
    return reinterpret_cast<const char*>(&settings) + TableOf(settings.activeEffect).blockOffset;
}

dsp::MixLevels MixOf(const EffectSettings& settings) {
    return {settings.workingMix.wetMix, settings.workingMix.dryMix};
}

// The largest value of every setting of the effect, from its table.
struct Largest {
    explicit Largest(EffectKind kind) {
        const EffectTable& table = TableOf(kind);
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            BlockValue(block, table.settings[i]) = table.settings[i].maximum;
        }
    }
    double block[16] = {};
};

EffectSettings Alienator(bool glide) {
    EffectSettings s{};
    s.activeEffect = static_cast<int>(EffectKind::Alienator);
    s.workingMix = {70, 30, 0};
    AlienatorSettings& a = s.alienator;
    a.carrierFreq = 440;
    a.squelch = -40;
    a.hopEnabled = 1;
    a.hopFreqDev = 300;
    a.hopPeriod = 7;
    a.smoothEnabled = glide ? 1 : 0;
    return s;
}

EffectSettings Communicator() {
    EffectSettings s{};
    s.activeEffect = static_cast<int>(EffectKind::Communicator);
    s.workingMix = {80, 20, 0};
    CommunicatorSettings& c = s.communicator;
    c.frequency = 300;
    c.fullness = 3000;
    c.sensitivity = -30;
    c.squelch = -45;
    c.duration = 60;
    c.changingStatic = 100;
    c.changingStaticEnabled = 1;
    c.randomBreakup = 1;
    c.randomAmplitude = 1;
    c.voiceBleed = 1;
    c.aliasing = 1;
    return s;
}

EffectSettings Deepenator() {
    EffectSettings s{};
    s.activeEffect = static_cast<int>(EffectKind::Deepenator);
    s.workingMix = {90, 20, 0};
    DeepenatorSettings& d = s.deepenator;
    d.reverbDelayLeft = 120;
    d.reverbPowerLeft = 60;
    d.combDelayLeft = 14;
    d.pitchScaleLeft = -5;
    d.reverbDelayRight = 70;
    d.reverbPowerRight = 45;
    d.combDelayRight = 9;
    d.pitchScaleRight = 3;
    d.randomPitchScaleEnabled = 1;
    d.randomReverbDelayEnabled = 1;
    return s;
}

EffectSettings Cylonator() {
    EffectSettings s{};
    s.activeEffect = static_cast<int>(EffectKind::Cylonator);
    s.workingMix = {100, 10, 0};
    CylonatorSettings& c = s.cylonator;
    c.freq = 30;
    c.pitchLeft = 40;
    c.pitchRight = 25;
    c.amplitudeLeft = 50;
    c.amplitudeRight = 70;
    c.noiseLeftEnabled = 1;
    c.noiseRightEnabled = 0;
    return s;
}

std::unique_ptr<dsp::Processor> Create(const EffectSettings& s, int channels,
                                       const void* largest = nullptr) {
    auto processor = dsp::CreateProcessor(static_cast<EffectKind>(s.activeEffect), BlockOf(s), MixOf(s),
                                          {channels, kRate}, kSeed, largest);
    EXPECT_NE(processor, nullptr);
    return processor;
}

// Feeds frames [from, to) in calls whose sizes cycle through `cuts`
// (empty: random sizes of 1 to 5000 frames).
void Feed(dsp::Processor& processor, Samples& audio, int channels, std::size_t from, std::size_t to,
          const std::vector<std::size_t>& cuts) {
    Dice dice(to);
    std::size_t k = 0;
    while (from < to) {
        std::size_t n = cuts.empty() ? static_cast<std::size_t>(dice.Int(1, 5000)) : cuts[k++ % cuts.size()];
        if (n > to - from) n = to - from;
        processor.Process(audio.data() + from * channels, n);
        from += n;
    }
}

Samples Stream(const EffectSettings& s, int channels, const std::vector<std::size_t>& cuts) {
    Samples audio = Speech(channels);
    auto processor = Create(s, channels);
    Feed(*processor, audio, channels, 0, audio.size() / channels, cuts);
    return audio;
}

// The editor's run: XfmDo's routine over the whole selection, with the
// shifters as the module loads them.
Samples Editor(const EffectSettings& s, int channels) {
    host::testing::ResetPitchShifters();
    platform::FixRunSeed(kSeed);
    TestHost host(Speech(channels), static_cast<std::uint16_t>(channels), kRate);
    EXPECT_EQ(host::RunActiveEffect(host.record, s), 0);
    platform::FixRunSeed(std::nullopt);
    host::testing::ResetPitchShifters();
    return host.audio;
}

TEST(ProcessorTest, OutputDoesNotDependOnHowTheAudioIsCutAndIsTheEditorsRun) {
    const std::vector<std::vector<std::size_t>> cuts = {{1}, {7}, {64}, {4000}, {4001}, {}};
    for (const EffectSettings& s : {Alienator(false), Alienator(true), Communicator(), Deepenator(), Cylonator()}) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << TableOf(s.activeEffect).name << " channels " << channels);
            const Samples whole = Stream(s, channels, {1u << 30});
            ASSERT_NE(whole, Speech(channels));
            EXPECT_EQ(whole, Editor(s, channels));
            for (const auto& cut : cuts) {
                EXPECT_EQ(Stream(s, channels, cut), whole) << "calls of " << (cut.empty() ? 0 : cut[0]);
            }
        }
    }
}

TEST(ProcessorTest, AnUpdateIsTakenFromTheNextCallOnAndKeepsTheSignalHeld) {
    // Changes that leave the held signal as it would be under the new
    // settings: from the update on, the output is the new settings' own.
    struct Change {
        EffectSettings before, after;
    };
    std::vector<Change> changes;
    EffectSettings a = Alienator(false);
    a.alienator.hopEnabled = 0;
    EffectSettings a2 = a;
    a2.alienator.carrierFreq = 97;
    a2.workingMix = {60, 40, 0};
    changes.push_back({a, a2});
    EffectSettings c = Communicator();
    c.communicator.changingStaticEnabled = 0;
    c.communicator.aliasing = 0;  // an odd frame would repeat the one before the update
    EffectSettings c2 = c;
    c2.communicator.frequency = 600;  // the voice filter's history is kept
    c2.communicator.fullness = 2200;
    c2.workingMix = {100, 5, 0};
    changes.push_back({c, c2});
    for (const EffectSettings& s : {Deepenator(), Cylonator()}) {
        EffectSettings s2 = s;
        s2.workingMix = {40, 75, 0};
        changes.push_back({s, s2});
    }
    const std::size_t at = 5003;  // inside the second stereo block
    for (const Change& change : changes) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << TableOf(change.before.activeEffect).name << " channels " << channels);
            Samples audio = Speech(channels);
            const std::size_t frames = audio.size() / channels;
            auto processor = Create(change.before, channels);
            Feed(*processor, audio, channels, 0, at, {});
            processor->Update(BlockOf(change.after), MixOf(change.after));
            Feed(*processor, audio, channels, at, frames, {});
            const Samples before = Stream(change.before, channels, {});
            const Samples after = Stream(change.after, channels, {});
            const auto split = static_cast<std::ptrdiff_t>(at * channels);
            EXPECT_TRUE(std::equal(audio.begin(), audio.begin() + split, before.begin()));
            EXPECT_TRUE(std::equal(audio.begin() + split, audio.end(), after.begin() + split));
            EXPECT_FALSE(std::equal(before.begin() + split, before.end(), after.begin() + split));
        }
    }
}

// Every setting changed, delays growing up to the largest the tables allow.
EffectSettings Changed(const EffectSettings& s) {
    EffectSettings n = s;
    n.workingMix = {55, 45, 0};
    switch (static_cast<EffectKind>(s.activeEffect)) {
        case EffectKind::Alienator:
            n.alienator = {-1, 0, 0, 0, 1200, -55, 800, 3, 1, 0};
            break;
        case EffectKind::Communicator:
            n.communicator = {-1, 0, 0, 0, 4000, 500, -25, 200, -50, 40, 1, 0, 0, 0, 1};
            break;
        case EffectKind::Deepenator:
            n.deepenator = {-1, 0, 0, 0, 1000, 90, 200, 12, 950, 30, 180, -12, 0, 1};
            break;
        case EffectKind::Cylonator:
            n.cylonator = {-1, 0, 0, 0, 85, 10, 70, 20, 90, 0, 1};
            break;
    }
    return n;
}

TEST(ProcessorTest, UpdateThenRestartIsANewRunWithTheNewSettingsAndNothingIsAllocated) {
    for (const EffectSettings& s : {Alienator(true), Communicator(), Deepenator(), Cylonator()}) {
        const EffectKind kind = static_cast<EffectKind>(s.activeEffect);
        const EffectSettings next = Changed(s);
        for (int channels : {1, 2}) {
            SCOPED_TRACE(testing::Message() << TableOf(kind).name << " channels " << channels);
            const Largest largest(kind);
            Samples audio = Speech(channels);
            const std::size_t frames = audio.size() / channels;
            auto processor = Create(s, channels, largest.block);
            Samples expected = audio;
            auto fresh = Create(next, channels);
            fresh->Process(expected.data(), frames);

            Samples again = Speech(channels);
            const std::vector<std::size_t> random, small = {64};

            const long heapCalls = theHeapCalls;
            Feed(*processor, audio, channels, 0, 3001, random);
            processor->Update(BlockOf(next), MixOf(next));
            Feed(*processor, audio, channels, 3001, 9000, small);
            processor->Restart(kSeed);
            processor->Process(again.data(), frames);
            EXPECT_EQ(theHeapCalls - heapCalls, 0);
            EXPECT_EQ(again, expected);
        }
    }
}

TEST(ProcessorTest, ADelayBeyondWhatTheLinesHoldGetsTheLongestTheyHold) {
    const EffectSettings s = Deepenator();
    EffectSettings longer = s;
    longer.deepenator.reverbDelayRight = longer.deepenator.reverbDelayLeft = 1000;
    longer.deepenator.combDelayRight = longer.deepenator.combDelayLeft = 200;
    longer.deepenator.pitchScaleRight = 7;
    EffectSettings held = longer;  // with the delays the lines were made for
    held.deepenator.reverbDelayRight = s.deepenator.reverbDelayRight;
    held.deepenator.reverbDelayLeft = s.deepenator.reverbDelayLeft;
    held.deepenator.combDelayRight = s.deepenator.combDelayRight;
    held.deepenator.combDelayLeft = s.deepenator.combDelayLeft;
    Samples audio = Speech(2);
    auto processor = Create(s, 2);
    processor->Update(BlockOf(longer), MixOf(longer));
    processor->Restart(kSeed);
    processor->Process(audio.data(), audio.size() / 2);
    EXPECT_EQ(audio, Stream(held, 2, {}));
}

TEST(ProcessorTest, AnEffectOutsideTheFourHasNoProcessor) {
    const EffectSettings s = Alienator(false);
    EXPECT_EQ(dsp::CreateProcessor(static_cast<EffectKind>(4), BlockOf(s), MixOf(s), {1, kRate}, 1), nullptr);
}

}  // namespace
