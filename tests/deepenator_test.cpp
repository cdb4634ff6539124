// The Deepenator: pitch factors and delay lines against values worked out
// by hand, whole runs against a plain model of the chain, jitter, shifter
// and mix, the shifter's stream across runs, and out-of-memory runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "dsp/deepenator.h"
#include "dsp/delay_line.h"
#include "dsp/pitch_shifter.h"
#include "dsp/signal_helpers.h"
#include "host/effect_runs.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/random.h"
#include "tests/pitch_reference.h"
#include "tests/test_host.h"

namespace {

constexpr std::uint32_t kSeed = 4242;

// The per-sample chain written as its difference equations over the whole
// history: v[n] = 0.5 (x[n] - x[n - Lc]), y[n] = v[n] + g y[n - (Lr - k)].
struct ModelChain {
    int Lc = 1, Lr = 1;
    float g = 0.0f;
    float base = 1.0f, factor = 1.0f;
    int k = 0;
    std::vector<double> x, y;
    double Step(double in, bool jitter) {
        x.push_back(in);
        const std::size_t n = x.size() - 1;
        const double v = 0.5 * (in - (n >= std::size_t(Lc) ? x[n - Lc] : 0.0));
        const std::size_t back = Lr - (jitter ? k : 0);
        const double out = v + g * (n >= back ? y[n - back] : 0.0);
        y.push_back(out);
        return out;
    }
};

// The two shifters of the model, kept across model runs as the plug-in
// keeps its own.
struct ModelShifters {
    reference::PitchShifter right, left;
};

// A whole run of the model over interleaved audio; counts the wet values
// that left the 16-bit range before the dry part was added.
std::vector<std::int16_t> ModelRun(std::vector<std::int16_t> audio, bool stereo, int rate,
                                   const DeepenatorSettings& s, double wetMix, double dryMix,
                                   ModelShifters& shifters, int* wrapped = nullptr) {
    auto length = [rate](double ms) { return static_cast<int>(std::ceil(rate * ms * 0.001)) + 1; };
    auto factor = [](double hs) { return static_cast<float>(0.25 * (hs / 12) * (hs / 12) + 0.75 * (hs / 12) + 1); };
    ModelChain right, left;
    right.Lc = length(s.combDelayRight);
    right.Lr = length(s.reverbDelayRight);
    left.Lc = length(s.combDelayLeft);
    left.Lr = length(s.reverbDelayLeft);
    right.g = static_cast<float>(s.reverbPowerRight * 0.005);
    left.g = static_cast<float>(s.reverbPowerLeft * 0.005);
    right.base = right.factor = factor(s.pitchScaleRight);
    left.base = left.factor = factor(s.pitchScaleLeft);
    const bool reverbJitter = s.randomReverbDelayEnabled != 0, pitchJitter = s.randomPitchScaleEnabled != 0;
    platform::SeedRandom(kSeed);
    const double P = 65536.0;
    for (std::size_t at = 0; at < audio.size(); at += 8000) {
        const int count = static_cast<int>(std::min<std::size_t>(8000, audio.size() - at));
        std::int16_t* block = audio.data() + at;
        std::vector<float> wet(count), l(count / 2), r(count / 2);
        if (!stereo) {
            for (int i = 0; i < count; ++i) wet[i] = static_cast<float>(right.Step(block[i] / P * 0.75, reverbJitter));
        } else {
            for (int j = 0; j < count / 2; ++j) {
                l[j] = static_cast<float>(left.Step(block[2 * j] / P * 0.75, reverbJitter));
                r[j] = static_cast<float>(right.Step(block[2 * j + 1] / P * 0.75, reverbJitter));
            }
        }
        std::vector<ModelChain*> chains{&right};
        if (stereo) chains.push_back(&left);
        if (reverbJitter) {
            for (ModelChain* c : chains) c->k = static_cast<int>(platform::Random() / 32767.0 * c->Lr * 0.3);
        }
        if (pitchJitter) {
            for (ModelChain* c : chains) {
                c->factor = static_cast<float>(std::min(2.0, std::max(0.5, dsp::GaussianNoiseFrom(platform::Random, c->base, 0.015f))));
            }
        }
        if (!stereo) {
            shifters.right.Process(right.factor, count, 256, 8, static_cast<float>(rate), wet.data(), wet.data());
        } else {
            shifters.right.Process(right.factor, count / 2, 256, 8, static_cast<float>(rate), r.data(), r.data());
            shifters.left.Process(left.factor, count / 2, 256, 8, static_cast<float>(rate), l.data(), l.data());
            for (int j = 0; j < count / 2; ++j) {
                wet[2 * j] = l[j];
                wet[2 * j + 1] = r[j];
            }
        }
        for (int i = 0; i < count; ++i) {
            const double scaled = wet[i] * P * wetMix * 0.01;
            if (wrapped && std::fabs(scaled) >= 32768) ++*wrapped;
            const std::int16_t w = dsp::Store(scaled);
            block[i] = dsp::Store(w + block[i] * dryMix * 0.01);
        }
    }
    return audio;
}

std::vector<std::int16_t> Voice(std::size_t samples, unsigned seed, double level) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> breath(0.0, 300.0);
    std::vector<std::int16_t> out(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = i / 44100.0;
        const double tone = std::sin(2 * reference::kPi * (130 + 30 * std::sin(3 * t)) * t);
        const double edge = tone > 0 ? 1.0 : -1.0;  // rich in harmonics
        const double v = level * (0.6 * tone + 0.4 * edge) + breath(gen);
        out[i] = static_cast<std::int16_t>(std::max(-32768.0, std::min(32767.0, v)));
    }
    return out;
}

EffectSettings Settings(const DeepenatorSettings& block, double wet, double dry) {
    EffectSettings settings{};
    settings.activeEffect = static_cast<int>(EffectKind::Deepenator);
    settings.deepenator = block;
    settings.workingMix = {wet, dry, 1.0};
    return settings;
}

class DeepenatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::FixRunSeed(kSeed);
        host::testing::ResetPitchShifters();
    }
    void TearDown() override {
        platform::FixRunSeed(std::nullopt);
        platform::testing::ClearMemoryFaults();
        host::testing::ResetPitchShifters();
    }
};

// Fields: preset, wet, dry, linked, reverb delay/power, comb delay, pitch
// for the left chain, then the same for the right, then the two switches.
const DeepenatorSettings kPlain{-1, 100, 0, 1, 106, 39, 14, -4, 70, 55, 5, -4, 0, 0};
const DeepenatorSettings kJitter{-1, 80, 20, 1, 300, 71, 39, 3, 800, 64, 48, -5, 1, 1};
// Beyond the slider range: the parabola's minimum 0.4375 and 2.6875.
const DeepenatorSettings kWide{-1, 70, 30, 1, 20, 10, 0, -18, 1, 100, 200, 18, 1, 1};

TEST(DeepenatorPitchFactorTest, FollowsTheParabolaNotTheExponential) {
    EXPECT_EQ(dsp::DeepenatorPitchFactor(-12), 0.5f);
    EXPECT_EQ(dsp::DeepenatorPitchFactor(0), 1.0f);
    EXPECT_EQ(dsp::DeepenatorPitchFactor(6), 1.4375f);
    EXPECT_EQ(dsp::DeepenatorPitchFactor(12), 2.0f);
    EXPECT_EQ(dsp::DeepenatorPitchFactor(-18), 0.4375f);
    EXPECT_FLOAT_EQ(dsp::DeepenatorPitchFactor(-4), 7.0f / 9.0f);  // 1/36 - 1/4 + 1
}

TEST(DelayLineTest, LengthsCoverTheDelayPlusOne) {
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, 10), 442);
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, 0), 1);
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, 1000), 44101);
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, 200), 8821);
    EXPECT_EQ(dsp::DelayLine::LengthFor(8000, 0.01), 2);  // 0.08 samples round up
    // Settings no page can make still give a usable line, or none at all.
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, -50), 1);
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, std::nan("")), 1);
    EXPECT_EQ(dsp::DelayLine::LengthFor(44100, 1e12), -1);
    dsp::DelayLine line;
    EXPECT_FALSE(line.Create(-1));
}

TEST(DelayLineTest, ReadThenWriteGivesTheValueWrittenLMinusKEarlier) {
    const int L = 7;
    for (int k = 0; k < L; ++k) {
        dsp::DelayLine line;
        ASSERT_TRUE(line.Create(L));
        std::vector<double> written;
        for (int n = 0; n < 40; ++n) {
            const double got = line.Read(k);
            const int back = L - k;
            EXPECT_EQ(got, n >= back ? written[n - back] : 0.0) << "k " << k << " n " << n;
            written.push_back(n + 1.0);
            line.Write(n + 1.0);
        }
    }
}

TEST_F(DeepenatorTest, MonoRunMatchesTheModel) {
    for (const DeepenatorSettings& s : {kPlain, kJitter, kWide}) {
        host::testing::ResetPitchShifters();
        ModelShifters model;
        const std::vector<std::int16_t> audio = Voice(20001, 3, 9000);  // two full blocks and a rest
        TestHost host(audio, 1, 44100);
        ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, host.record, Settings(s, s.wetMix, s.dryMix)), 0);
        EXPECT_EQ(host.audio, ModelRun(audio, false, 44100, s, s.wetMix, s.dryMix, model));
        EXPECT_EQ(host.calls.front().text, "Applying Deepenator");
    }
}

TEST_F(DeepenatorTest, StereoRunMatchesTheModelWithEachSideItsOwnSettings) {
    for (const DeepenatorSettings& s : {kPlain, kJitter, kWide}) {
        for (int rate : {44100, 22050}) {
            host::testing::ResetPitchShifters();
            ModelShifters model;
            std::vector<std::int16_t> audio = Voice(2 * 9001, 8, 7000);
            // Different material on each side shows that nothing crosses over.
            for (std::size_t i = 1; i < audio.size(); i += 2) audio[i] = static_cast<std::int16_t>(audio[i] / 3);
            TestHost host(audio, 2, rate);
            ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, host.record, Settings(s, s.wetMix, s.dryMix)), 0);
            EXPECT_EQ(host.audio, ModelRun(audio, true, rate, s, s.wetMix, s.dryMix, model));
        }
    }
}

TEST_F(DeepenatorTest, LoudWetWrapsToSixteenBitsBeforeTheDryPartIsAdded) {
    ModelShifters model;
    // A full-scale tone whose half period is the comb's 46 samples: the
    // comb doubles it, the shifter adds half again, well past 16 bits.
    std::vector<std::int16_t> audio(12000);
    for (std::size_t i = 0; i < audio.size(); ++i) {
        audio[i] = static_cast<std::int16_t>(32767 * std::sin(reference::kPi * i / 46));
    }
    // A dry part with a fraction: where the wrapped wet value has the other
    // sign, truncating the sum rounds the other way than it would unwrapped.
    const DeepenatorSettings s{-1, 100, 30, 0, 100, 100, 1, 0, 100, 100, 1, 0, 0, 0};
    TestHost host(audio, 1, 44100);
    ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, host.record, Settings(s, 100, 30)), 0);
    int wrapped = 0;
    EXPECT_EQ(host.audio, ModelRun(audio, false, 44100, s, 100, 30, model, &wrapped));
    EXPECT_GT(wrapped, 0);  // the case this test is about did occur
}

TEST_F(DeepenatorTest, SecondRunStartsWithTheTailOfTheFirst) {
    ModelShifters model;
    const std::vector<std::int16_t> audio = Voice(2 * 3000, 6, 8000);
    TestHost first(audio, 2, 44100);
    ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, first.record, Settings(kPlain, 100, 0)), 0);
    const std::vector<std::int16_t> once = ModelRun(audio, true, 44100, kPlain, 100, 0, model);
    EXPECT_EQ(first.audio, once);
    TestHost second(audio, 2, 44100);
    ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, second.record, Settings(kPlain, 100, 0)), 0);
    // The model's shifters carry on from the first run as well.
    EXPECT_EQ(second.audio, ModelRun(audio, true, 44100, kPlain, 100, 0, model));
    // Pure wet: the first run opens with the zeroed pipeline, the second
    // with the first run's last samples.
    int differing = 0;
    for (int i = 0; i < 2 * 256; ++i) differing += first.audio[i] != second.audio[i];
    EXPECT_EQ(first.audio[0], 0);
    EXPECT_GT(differing, 256);
    // A mono run continues the right shifter's stream too.
    TestHost mono(std::vector<std::int16_t>(1000, 0), 1, 44100);
    ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, mono.record, Settings(kPlain, 100, 0)), 0);
    int heard = 0;
    for (std::int16_t v : mono.audio) heard += v != 0;
    EXPECT_GT(heard, 100);
}

TEST_F(DeepenatorTest, SilenceStaysSilent) {
    TestHost host(std::vector<std::int16_t>(2 * 9000, 0), 2, 44100);
    ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, host.record, Settings(kJitter, 100, 100)), 0);
    EXPECT_EQ(host.audio, std::vector<std::int16_t>(2 * 9000, 0));
}

TEST_F(DeepenatorTest, MissingMemoryProcessesNothingAndLeaksNothing) {
    const std::vector<std::int16_t> audio = Voice(2 * 2000, 1, 5000);
    // The sample buffer, three hand-over buffers and four lines: each
    // allocation, and each lock, may fail on its own.
    for (int n = 1; n <= 8; ++n) {
        for (bool lock : {false, true}) {
            TestHost host(audio, 2, 44100);
            const std::size_t live = platform::testing::LiveBlocks();
            if (lock) platform::testing::FailNthLock(n);
            else platform::testing::FailNthAllocation(n);
            EXPECT_EQ(host::RunEffect(EffectKind::Deepenator, host.record, Settings(kJitter, 100, 0)), 1) << n;
            EXPECT_TRUE(host.calls.empty()) << n;
            EXPECT_EQ(host.audio, audio);
            EXPECT_EQ(platform::testing::LiveBlocks(), live) << n;
            platform::testing::ClearMemoryFaults();
        }
    }
    // With every block to be had the run goes ahead, and the failed runs
    // have not touched the shifters' stream.
    TestHost host(audio, 2, 44100);
    platform::testing::FailNthAllocation(9);
    ASSERT_EQ(host::RunEffect(EffectKind::Deepenator, host.record, Settings(kJitter, 100, 0)), 0);
    ModelShifters model;
    EXPECT_EQ(host.audio, ModelRun(audio, true, 44100, kJitter, 100, 0, model));
}

}  // namespace
