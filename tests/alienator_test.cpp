// The Alienator against values worked out here from the ring-modulation
// formula, with the random draws of a run replayed by a local generator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "host/effect_runs.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "settings/setting_tables.h"
#include "tests/test_host.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr std::uint32_t kSeed = 7;

// The run's generator, replayed: the same LCG from the run's seed.
class Draws {
public:
    explicit Draws(std::uint32_t seed) : state_(seed) {}
    int Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7fff);
    }

private:
    std::uint32_t state_;
};

// Truncation toward zero, low 16 bits.
std::int16_t Wrap(double value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::int64_t>(value) & 0xFFFF));
}

std::int16_t Modulated(double x, double f, int rate, double n, double wet, double dry) {
    return Wrap(x * (std::sin(f * kTwoPi / rate * n) * wet + dry) * 0.01);
}

EffectSettings Alienator(double carrier, double squelch, double wet, double dry) {
    EffectSettings settings{};
    settings.activeEffect = 0;
    settings.workingMix = {wet, dry, 0.0};
    settings.alienator.carrierFreq = carrier;
    settings.alienator.squelch = squelch;
    return settings;
}

void Hop(EffectSettings& settings, double deviation, double periodMs, bool glide) {
    settings.alienator.hopEnabled = 1.0;
    settings.alienator.hopFreqDev = deviation;
    settings.alienator.hopPeriod = periodMs;
    settings.alienator.smoothEnabled = glide ? 1.0 : 0.0;
}

std::vector<std::int16_t> Voice(std::size_t count, std::uint32_t seed) {
    Draws draws(seed);
    std::vector<std::int16_t> audio(count);
    for (auto& sample : audio) sample = static_cast<std::int16_t>(draws.Next() * 2 - 32767);
    return audio;
}

std::vector<std::int16_t> Process(const EffectSettings& settings, std::vector<std::int16_t> audio,
                                  std::uint16_t channels, int rate) {
    TestHost host(std::move(audio), channels, rate);
    EXPECT_EQ(host::RunEffect(EffectKind::Alienator, host.record, settings), 0);
    EXPECT_EQ(host.calls.front().text, "Applying Alienator...");
    return host.audio;
}

class AlienatorTest : public ::testing::Test {
protected:
    void SetUp() override { platform::FixRunSeed(kSeed); }
    void TearDown() override { platform::FixRunSeed(std::nullopt); }
};

TEST_F(AlienatorTest, QuietSamplesPassUnchangedAndDrawNothing) {
    // 16-bit audio never gets above about -6 dB: a 0 dB squelch keeps
    // everything, and with hopping on only the eight set-up draws happen.
    EffectSettings settings = Alienator(440, 0, 100, 0);
    Hop(settings, 200, 10, false);
    const std::vector<std::int16_t> loud(3000, -32768);
    EXPECT_EQ(Process(settings, loud, 1, 44100), loud);
    Draws draws(kSeed);
    for (int i = 0; i < 8; ++i) draws.Next();
    EXPECT_EQ(platform::Random(), draws.Next());

    // Silence stays silence whatever the settings.
    const std::vector<std::int16_t> silence(20000, 0);
    EXPECT_EQ(Process(Alienator(440, -200, 100, 100), silence, 2, 44100), silence);
    Hop(settings, 200, 1, true);
    settings.alienator.squelch = -200;
    EXPECT_EQ(Process(settings, silence, 1, 8000), silence);
}

TEST_F(AlienatorTest, FullyWetIsTheInputTimesTheCarrier) {
    const std::vector<std::int16_t> input = Voice(20000, 3);
    const std::vector<std::int16_t> out = Process(Alienator(523.25, -200, 100, 0), input, 1, 22050);
    for (std::size_t n = 0; n < input.size(); ++n) {
        const double expected = input[n] * std::sin(kTwoPi * 523.25 * n / 22050);
        ASSERT_NEAR(out[n], std::trunc(expected), 1.0) << n;
        ASSERT_EQ(out[n], Modulated(input[n], 523.25, 22050, n, 100, 0)) << n;
    }
}

TEST_F(AlienatorTest, DryKeepsTheSampleAndWetAndDryTogetherWrapAround) {
    const std::vector<std::int16_t> input = Voice(10000, 4);
    EXPECT_EQ(Process(Alienator(1000, -200, 0, 100), input, 2, 44100), input);
    // Carrier at a quarter of the rate: sin is 0, 1, 0, -1, ...
    const std::vector<std::int16_t> out = Process(Alienator(1, -200, 100, 100), {30000, 30000, 30000}, 1, 4);
    EXPECT_EQ(out, (std::vector<std::int16_t>{30000, -5536, 30000}));
}

TEST_F(AlienatorTest, CounterAdvancesOnlyOnModulatedSamples) {
    // Silence first (level about -90 dB, squelch -60 dB): not modulated, the
    // counter stays at 0, so the first loud sample has phase 0 and becomes 0.
    std::vector<std::int16_t> input(500, 0);
    input.insert(input.end(), 300, 20000);
    const std::vector<std::int16_t> out = Process(Alienator(300, -60, 100, 0), input, 1, 8000);
    for (std::size_t i = 0; i < 300; ++i) {
        ASSERT_EQ(out[500 + i], Modulated(20000, 300, 8000, i, 100, 0)) << i;
    }
    EXPECT_EQ(out[500], 0);
}

TEST_F(AlienatorTest, DigitalSilenceStaysUnderTheDefaultSquelch) {
    // Zeros hold the follower at 10*log10(1e-9), exactly the default -90 dB
    // squelch: not above it, so silence neither advances the counter nor
    // draws, and the first loud sample after it has phase 0.
    EffectSettings settings{};
    WriteDefaults(settings, TableOf(EffectKind::Alienator));
    const AlienatorSettings& defaults = settings.alienator;
    settings.workingMix = {defaults.wetMix, defaults.dryMix, defaults.mixLinked};
    ASSERT_EQ(defaults.squelch, -90);
    std::vector<std::int16_t> input(500, 0);
    input.insert(input.end(), 20, 20000);
    const std::vector<std::int16_t> out = Process(settings, input, 1, 8000);
    for (std::size_t i = 0; i < 20; ++i) {
        ASSERT_EQ(out[500 + i], Modulated(20000, defaults.carrierFreq, 8000, i, 100, 0)) << i;
    }
    EXPECT_EQ(out[500], 0);

    // Hopping on: the eight set-up draws and one per loud sample only.
    settings.alienator.hopEnabled = 1.0;
    Process(settings, input, 1, 8000);
    Draws draws(kSeed);
    for (int i = 0; i < 8 + 20; ++i) draws.Next();
    EXPECT_EQ(platform::Random(), draws.Next());
}

TEST_F(AlienatorTest, StereoSharesTheCounter) {
    // Both channels loud: left uses n = 2j and right 2j + 1 in frame j.
    std::vector<std::int16_t> input = Voice(4000, 5);
    std::vector<std::int16_t> out = Process(Alienator(700, -200, 100, 0), input, 2, 16000);
    for (std::size_t i = 0; i < input.size(); ++i) {
        ASSERT_EQ(out[i], Modulated(input[i], 700, 16000, i, 100, 0)) << i;
    }
    // Right channel silent under a -60 dB squelch: only the left one
    // advances the counter and draws, one value per modulated sample.
    for (std::size_t i = 1; i < input.size(); i += 2) input[i] = 0;
    for (std::size_t i = 0; i < input.size(); i += 2) input[i] = 12000;
    EffectSettings settings = Alienator(700, -60, 100, 0);
    Hop(settings, 0, 1000, false);  // hopping around 700 Hz with no deviation
    out = Process(settings, input, 2, 16000);
    for (std::size_t j = 0; j < input.size() / 2; ++j) {
        ASSERT_EQ(out[2 * j], Modulated(12000, 700, 16000, j, 100, 0)) << j;
        ASSERT_EQ(out[2 * j + 1], 0);
    }
    Draws draws(kSeed);
    for (std::size_t i = 0; i < 8 + input.size() / 2; ++i) draws.Next();
    EXPECT_EQ(platform::Random(), draws.Next());
}

double RandomFreq(double carrier, double deviation, int r) {
    return carrier + deviation * (r * (2.0 / 32767.0) - 1.0);
}

TEST_F(AlienatorTest, SteppingChangesEveryFourthSampleWithThreeHopSamples) {
    // 3000 frames per second and 1 ms: hopSamples 3. Every sample is
    // modulated and draws one value; the frequency changes on the 4th, 8th,
    // ... sample to the value drawn on that sample.
    EffectSettings settings = Alienator(1000, -200, 100, 0);
    Hop(settings, 600, 1, false);
    const std::vector<std::int16_t> input(40, 25000);
    const std::vector<std::int16_t> out = Process(settings, input, 1, 3000);

    Draws draws(kSeed);
    double f = RandomFreq(1000, 600, draws.Next());  // mono f; seven more set-up draws
    for (int i = 0; i < 7; ++i) draws.Next();
    for (std::size_t n = 0; n < input.size(); ++n) {
        const int r = draws.Next();
        if ((n + 1) % 4 == 0) f = RandomFreq(1000, 600, r);
        ASSERT_EQ(out[n], Modulated(25000, f, 3000, n, 100, 0)) << n;
    }
}

// Gliding, replayed sample by sample: from a towards b by half the distance
// over `hop` samples, re-aimed when the segment ends (mono after hop + 2
// samples and one step further on, stereo after hop + 1 samples).
struct Glide {
    double a, b;
    int k = 0;
};

std::vector<std::int16_t> GlideReference(const std::vector<std::int16_t>& input, bool stereo, int rate,
                                         int hop, double carrier, double deviation) {
    Draws draws(kSeed);
    auto freq = [&](int r) { return RandomFreq(carrier, deviation, r); };
    const double monoF = freq(draws.Next());
    Glide mono{monoF, freq(draws.Next())};
    Glide sides[2];
    for (Glide& side : sides) {
        draws.Next();  // the side's f, unused by a glide
        side.a = freq(draws.Next());
        side.b = freq(draws.Next());
    }
    std::vector<std::int16_t> out(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) {
        Glide& g = stereo ? sides[i % 2] : mono;
        const int r = draws.Next();
        const double step = (g.b - g.a) / (2 * hop);
        const double f = g.a + g.k * step;
        out[i] = Modulated(input[i], f, rate, i, 100, 0);
        const int segment = stereo ? hop + 1 : hop + 2;
        if (++g.k == segment) {
            g.a = stereo ? f : f + step;
            g.b = freq(r);
            g.k = 0;
        }
    }
    return out;
}

TEST_F(AlienatorTest, GlidingSegmentsDifferBetweenMonoAndStereo) {
    EffectSettings settings = Alienator(800, -200, 100, 0);
    Hop(settings, 500, 1, true);
    const std::vector<std::int16_t> input = Voice(600, 9);
    EXPECT_EQ(Process(settings, input, 1, 5000), GlideReference(input, false, 5000, 5, 800, 500));
    EXPECT_EQ(Process(settings, input, 2, 5000), GlideReference(input, true, 5000, 5, 800, 500));
}

TEST_F(AlienatorTest, GlidingBelowOneHopSampleGlidesAsOverOne) {
    // 900 frames per second and 1 ms give hopSamples 0; the glide then
    // behaves as with 1 instead of dividing by zero and going silent.
    EffectSettings settings = Alienator(200, -200, 100, 0);
    Hop(settings, 100, 1, true);
    const std::vector<std::int16_t> input = Voice(300, 11);
    const std::vector<std::int16_t> mono = Process(settings, input, 1, 900);
    EXPECT_EQ(mono, GlideReference(input, false, 900, 1, 200, 100));
    EXPECT_NE(mono, std::vector<std::int16_t>(input.size(), 0));
    EXPECT_EQ(Process(settings, input, 2, 900), GlideReference(input, true, 900, 1, 200, 100));
}

}  // namespace
