// The Communicator: burst timing, aliasing and the voice band against hand
// values, and whole runs against a plain sample-by-sample model written
// here (its own generator, noise, follower in decibels, filter design and
// filters), which the block-wise effect must match bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "host/effect_runs.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/random.h"
#include "tests/test_host.h"

namespace {

constexpr std::uint32_t kSeed = 11;
constexpr double kP = 65536.0;

class Draws {
public:
    explicit Draws(std::uint32_t seed) : state_(seed) {}
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fff);
    }
    double Gauss(float mean, float variance) {
        float sum = 0.0f;
        for (int i = 0; i < 12; ++i) sum = static_cast<float>(sum + Next() * 3.051850947599719e-05);
        return mean + std::sqrt(static_cast<double>(variance)) * (sum - 6.0);
    }

private:
    std::uint32_t state_;
};

std::int16_t Wrap(double value) {
    if (!std::isfinite(value)) return 0;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::int64_t>(value) & 0xFFFF));
}

struct Taps {
    double h[81];
};

Taps BandPass(float lower, float upper, float rate) {
    Taps t;
    const double wl = 6.283185307179586 * lower / rate;
    const double wu = 6.283185307179586 * upper / rate;
    const float centre = static_cast<float>((wu + wl) * 0.5);
    const float half = static_cast<float>((wu - wl) * 0.5);
    for (int i = 0; i < 81; ++i) {
        const double m = i - 40;
        const double ideal = i == 40 ? 2.0 * half * 0.3183098861837907
                                     : std::cos(centre * m) * std::sin(half * m) * 2.0 /
                                           (3.141592653589793 * m);
        t.h[i] = ideal * (0.54 + 0.46 * std::cos(3.141592653589793 * m / 40.0));
    }
    return t;
}

// The last 81 inputs, oldest first.
struct History {
    double x[81] = {};
    double Filter(double input, const Taps& t) {
        std::copy(x + 1, x + 81, x);
        x[80] = input;
        double sum = 0.0;
        for (int k = 80; k >= 0; --k) sum += t.h[k] * x[80 - k];
        return sum;
    }
};

struct ModelChannel {
    double acc = 0.0;
    History voice, noise;
    Taps noiseTaps;
    bool armed = false, active = false, gap = false;
    std::int32_t countdown = 0, gapStart = 0, gapLen = 0, burstLength = 0;
    float amp = 0.0f;
};

struct ModelResult {
    std::vector<std::int16_t> audio;
    int bursts = 0;
    int rebands = 0;
    int swaps = 0;
};

// The effect one sample at a time, blocks of 8000 samples for the aliasing.
ModelResult Model(std::vector<std::int16_t> audio, int channels, int sampleRate,
                  const CommunicatorSettings& c, double wet, double dry) {
    ModelResult result;
    Draws rng(kSeed);
    const float rate = static_cast<float>(sampleRate);
    float upper = static_cast<float>(c.fullness);
    float lower = static_cast<float>(c.frequency);
    if (!(upper < rate * 0.5)) upper = static_cast<float>(rate * 0.45);
    if (!(c.frequency < rate * 0.5)) lower = static_cast<float>(rate * 0.4);
    const Taps voiceTaps = BandPass(lower, upper, rate);
    const double threshold = 5 - 2 * (c.changingStatic * 0.01);
    std::vector<ModelChannel> state(channels);
    for (ModelChannel& ch : state) ch.noiseTaps = voiceTaps;

    for (std::size_t start = 0; start < audio.size(); start += 8000) {
        const std::size_t end = std::min(audio.size(), start + 8000);
        for (std::size_t i = start; i < end; ++i) {
            ModelChannel& ch = state[i % channels];
            const double x = audio[i];
            const double s = x * (1 / kP);
            ch.acc = (s * s) * 0.010000000000000009 + ch.acc * 0.99;
            const double level = 10 * std::log10(ch.acc + 1e-9);
            std::int16_t sample = Wrap(ch.voice.Filter(0.75 * s, voiceTaps) * kP);
            if (!ch.active) {
                if (level >= c.sensitivity) ch.armed = true;
                if (level < c.squelch && ch.armed) {
                    ++result.bursts;
                    ch.noise.Filter(rng.Gauss(0, 1), ch.noiseTaps);
                    const int r = rng.Next();
                    ch.amp = c.randomAmplitude != 0
                                 ? static_cast<float>(r * 3.051850947599719e-05 * 0.6 + 0.4)
                                 : 1.0f;
                    ch.burstLength = static_cast<std::int32_t>(rate * (c.duration * 0.001));
                    ch.countdown = ch.burstLength;
                    ch.active = true;
                    ch.gapStart = static_cast<std::int32_t>(rng.Gauss(1, 1) * (ch.burstLength / 3));
                    ch.gapLen = static_cast<std::int32_t>(rng.Gauss(1, 1) * (ch.burstLength / 4));
                    ch.gap = false;
                    if (c.randomBreakup == 0) ch.gapStart = 0;
                }
            } else {
                --ch.countdown;
                if (ch.gap) {
                    sample = 0;
                    if (--ch.gapLen == 0) {
                        ch.gap = false;
                        ch.gapStart = static_cast<std::int32_t>(rng.Gauss(1, 1) * (ch.burstLength / 3));
                        ch.gapLen = static_cast<std::int32_t>(rng.Gauss(1, 1) * (ch.burstLength / 4));
                    }
                } else {
                    const double noise = ch.noise.Filter(rng.Gauss(0, 1), ch.noiseTaps);
                    double value = ch.amp * noise * kP * 0.25;
                    if (c.voiceBleed != 0) value += 0.75 * sample;
                    sample = Wrap(value);
                }
                if (ch.countdown == ch.gapStart) ch.gap = true;
                if (ch.countdown <= 0) ch.active = ch.armed = false;
            }
            const double u = rng.Gauss(0, 1);
            if (c.changingStaticEnabled != 0 && u > threshold) {
                ++result.rebands;
                float lo = static_cast<float>(100 * rng.Gauss(3, 2));
                float hi = static_cast<float>(500 * rng.Gauss(3, 2));
                if (lo >= hi) {
                    ++result.swaps;
                    std::swap(lo, hi);
                }
                ch.noiseTaps = BandPass(lo, hi, rate);
            }
            audio[i] = Wrap((sample * wet + x * dry) * 0.01);
        }
        if (c.aliasing != 0) {
            for (std::size_t f = 1; f < (end - start) / channels; f += 2) {
                for (int k = 0; k < channels; ++k) {
                    audio[start + f * channels + k] = audio[start + (f - 1) * channels + k];
                }
            }
        }
    }
    result.audio = std::move(audio);
    return result;
}

CommunicatorSettings Settings() {
    CommunicatorSettings c{};
    c.fullness = 2600;
    c.frequency = 600;
    c.sensitivity = -20;
    c.squelch = -40;
    c.duration = 100;
    return c;
}

EffectSettings Wrapped(const CommunicatorSettings& c, double wet, double dry) {
    EffectSettings settings{};
    settings.activeEffect = 1;
    settings.workingMix = {wet, dry, 0.0};
    settings.communicator = c;
    return settings;
}

// Talk and pause: noisy syllables of 1500 samples, silent pauses of 1500.
std::vector<std::int16_t> Talk(std::size_t count, std::uint32_t seed) {
    Draws draws(seed);
    std::vector<std::int16_t> audio(count);
    for (std::size_t i = 0; i < count; ++i) {
        audio[i] = (i / 1500) % 2 == 0 ? static_cast<std::int16_t>(draws.Next() - 16384) : 0;
    }
    return audio;
}

class CommunicatorTest : public ::testing::Test {
protected:
    void SetUp() override { platform::FixRunSeed(kSeed); }
    void TearDown() override {
        platform::FixRunSeed(std::nullopt);
        platform::testing::ClearMemoryFaults();
    }

    std::vector<std::int16_t> Process(const CommunicatorSettings& c, std::vector<std::int16_t> audio,
                                      std::uint16_t channels, int rate, double wet = 100, double dry = 0) {
        TestHost host(std::move(audio), channels, rate);
        EXPECT_EQ(host::RunEffect(EffectKind::Communicator, host.record, Wrapped(c, wet, dry)), 0);
        EXPECT_EQ(host.calls.front().text, "Applying Communicator...");
        return host.audio;
    }

    void ExpectModel(const CommunicatorSettings& c, const std::vector<std::int16_t>& audio, int channels,
                     int rate, double wet, double dry, ModelResult* out = nullptr) {
        ModelResult expected = Model(audio, channels, rate, c, wet, dry);
        const std::vector<std::int16_t> actual =
            Process(c, audio, static_cast<std::uint16_t>(channels), rate, wet, dry);
        ASSERT_EQ(actual.size(), expected.audio.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            ASSERT_EQ(actual[i], expected.audio[i]) << "sample " << i;
        }
        if (out != nullptr) *out = std::move(expected);
    }
};

TEST_F(CommunicatorTest, SilenceStaysSilentAndDrawsTwelvePerSample) {
    const std::vector<std::int16_t> silence(9000, 0);
    EXPECT_EQ(Process(Settings(), silence, 1, 8000), silence);
    Draws draws(kSeed);
    for (int i = 0; i < 12 * 9000; ++i) draws.Next();
    EXPECT_EQ(platform::Random(), draws.Next());
}

TEST_F(CommunicatorTest, WithoutWorkingMemoryNothingHappens) {
    // The sample buffer, then the filters' memory; either failing to be
    // allocated or locked ends the run before any callback, leaking nothing.
    const std::vector<std::int16_t> audio = Talk(5000, 4);
    for (int n = 1; n <= 2; ++n) {
        for (bool lock : {false, true}) {
            TestHost host(audio, 2, 44100);
            const std::size_t live = platform::testing::LiveBlocks();
            if (lock) {
                platform::testing::FailNthLock(n);
            } else {
                platform::testing::FailNthAllocation(n);
            }
            EXPECT_EQ(host::RunEffect(EffectKind::Communicator, host.record, Wrapped(Settings(), 100, 0)), 1);
            platform::testing::ClearMemoryFaults();
            EXPECT_TRUE(host.calls.empty());
            EXPECT_EQ(host.audio, audio);
            EXPECT_EQ(platform::testing::LiveBlocks(), live);
        }
    }
}

TEST_F(CommunicatorTest, OneBurstAfterALoudPassage) {
    // 8000 frames per second and 10 ms: bursts of 80 samples. Plain static:
    // no breakup, no random loudness, no voice bleed.
    CommunicatorSettings c = Settings();
    c.duration = 10;
    std::vector<std::int16_t> audio(2000, 20000);
    audio.resize(6000, 0);
    const std::vector<std::int16_t> out = Process(c, audio, 1, 8000);

    // The first sample whose level is below -40 dB starts the burst.
    double acc = 0.0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < audio.size(); ++i) {
        const double s = audio[i] / kP;
        acc = s * s * 0.010000000000000009 + acc * 0.99;
        if (i >= 2000 && 10 * std::log10(acc + 1e-9) < -40) {
            start = i;
            break;
        }
    }
    ASSERT_GT(start, 2100u);  // the voice filter has long stopped ringing
    int loudStatic = 0;
    for (std::size_t i = 2100; i < audio.size(); ++i) {
        if (i > start && i <= start + 80) {
            loudStatic += out[i] != 0;
        } else {
            ASSERT_EQ(out[i], 0) << i;  // no second burst: the channel is not armed again
        }
    }
    EXPECT_GE(loudStatic, 75);
    ExpectModel(c, audio, 1, 8000, 100, 0);
}

TEST_F(CommunicatorTest, DurationZeroGivesOneSampleOfStatic) {
    CommunicatorSettings c = Settings();
    c.duration = 0;
    std::vector<std::int16_t> audio(1000, 20000);
    audio.resize(3000, 0);
    const std::vector<std::int16_t> out = Process(c, audio, 1, 8000);
    int nonZero = 0;
    for (std::size_t i = 1100; i < out.size(); ++i) nonZero += out[i] != 0;
    EXPECT_EQ(nonZero, 1);
    ExpectModel(c, audio, 1, 8000, 100, 0);
}

TEST_F(CommunicatorTest, SilenceBurstsFromTheStartAtTheLowestSensitivity) {
    CommunicatorSettings c = Settings();
    c.sensitivity = -90;
    c.squelch = -80;
    c.duration = 5;
    const std::vector<std::int16_t> silence(2000, 0);
    const std::vector<std::int16_t> out = Process(c, silence, 1, 8000);
    // The burst's first sample keeps its (silent) voice; static follows for
    // 40 samples (fading in as the noise fills the filter), then the next
    // burst starts.
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[41], 0);
    EXPECT_GE(std::count_if(out.begin() + 1, out.begin() + 41, [](std::int16_t v) { return v != 0; }), 30);
    ModelResult model;
    ExpectModel(c, silence, 1, 8000, 100, 0, &model);
    EXPECT_GT(model.bursts, 40);  // 40 samples of static, one idle sample, again
}

TEST_F(CommunicatorTest, DryOnlyLeavesTheInput) {
    CommunicatorSettings c = Settings();
    c.randomBreakup = c.voiceBleed = c.changingStaticEnabled = 1;
    const std::vector<std::int16_t> audio = Talk(30000, 5);
    EXPECT_EQ(Process(c, audio, 2, 44100, 0, 100), audio);
}

TEST_F(CommunicatorTest, AliasingHoldsEveryOddFrame) {
    CommunicatorSettings c = Settings();
    c.aliasing = 1;
    EXPECT_EQ(Process(c, {10, 20, 30, 40}, 1, 8000, 0, 100), (std::vector<std::int16_t>{10, 10, 30, 30}));
    EXPECT_EQ(Process(c, {1, 2, 3, 4, 5, 6}, 2, 8000, 0, 100), (std::vector<std::int16_t>{1, 2, 1, 2, 5, 6}));
    // Counted from each block's start: a mono block holds 8000 frames.
    std::vector<std::int16_t> ramp(8003);
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i);
    const std::vector<std::int16_t> out = Process(c, ramp, 1, 8000, 0, 100);
    EXPECT_EQ(out[7999], 7998);
    EXPECT_EQ(out[8000], 8000);
    EXPECT_EQ(out[8001], 8000);
    EXPECT_EQ(out[8002], 8002);
}

TEST_F(CommunicatorTest, BandEdgesAtHalfTheRateMoveInside) {
    // Fullness at or above half the rate acts as 0.45 x rate, Frequency as
    // 0.4 x rate; the settings keep their values.
    const std::vector<std::int16_t> audio = Talk(12000, 6);
    CommunicatorSettings high = Settings();
    high.fullness = 4000;
    CommunicatorSettings same = Settings();
    same.fullness = 3600;
    EXPECT_EQ(Process(high, audio, 1, 8000), Process(same, audio, 1, 8000));
    high.frequency = 4500;
    same.frequency = 3200;
    EffectSettings settings = Wrapped(high, 100, 0);
    TestHost host(audio, 1, 8000);
    host::RunEffect(EffectKind::Communicator, host.record, settings);
    EXPECT_EQ(host.audio, Process(same, audio, 1, 8000));
    EXPECT_EQ(settings.communicator.fullness, 4000);
    EXPECT_EQ(settings.communicator.frequency, 4500);
}

TEST_F(CommunicatorTest, MatchesThePlainModel) {
    // Mono with random loudness; then stereo with the squelch above the
    // sensitivity (a channel may arm and burst on one sample), very short
    // bursts with breakup and bleed, wet and dry together.
    CommunicatorSettings c = Settings();
    c.randomAmplitude = 1;
    ModelResult model;
    ExpectModel(c, Talk(40000, 7), 1, 8000, 100, 0, &model);
    EXPECT_GT(model.bursts, 10);
    c.sensitivity = -50;
    c.squelch = -30;
    c.duration = 1;
    c.randomBreakup = c.voiceBleed = 1;
    ExpectModel(c, Talk(30000, 9), 2, 44100, 100, 100);
}

TEST_F(CommunicatorTest, MatchesThePlainModelWithEverythingOn) {
    // Breakup, bleed, random loudness, changing static at 100 % and aliasing,
    // in stereo across several blocks. Some re-bands draw their edges the
    // wrong way round; those are swapped, keeping a band between them.
    CommunicatorSettings c = Settings();
    c.randomBreakup = c.voiceBleed = c.randomAmplitude = c.changingStaticEnabled = c.aliasing = 1;
    c.changingStatic = 100;
    c.duration = 300;
    ModelResult model;
    ExpectModel(c, Talk(120000, 8), 2, 22050, 80, 20, &model);
    EXPECT_GT(model.bursts, 10);
    EXPECT_GT(model.rebands, 20);
    EXPECT_GT(model.swaps, 0);
}

}  // namespace
