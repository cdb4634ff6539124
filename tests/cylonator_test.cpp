// The Cylonator against a plain implementation written here filter by
// filter and sample by sample, and its signal properties: unit gain of the
// band-pass cascades at their centres, a long run at 48000 Hz staying
// finite, silence, determinism, the channel settings and out-of-memory.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "dsp/cylonator.h"
#include "dsp/filter_design.h"
#include "dsp/iir_filter.h"
#include "dsp/signal_helpers.h"
#include "host/effect_runs.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/random.h"
#include "tests/test_host.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kCentres[18] = {108,  137,  172,  217,  273,  344,  434,  547,  689,
                                 868,  1093, 1378, 1736, 2187, 2756, 3472, 4375, 5512};
constexpr double kThirdOctave = 1.2599210498948732;

// ---------------------------------------------------------------------------
// The plain vocoder: one IirFilter per filter, every coefficient used.

struct DesignStorage {
    dsp::Complex planes[4][32];
    double coefficients[2][33];
    dsp::FilterDesign Record() {
        dsp::FilterDesign d{};
        d.sPoles = planes[0];
        d.sZeros = planes[1];
        d.zPoles = planes[2];
        d.zZeros = planes[3];
        d.numerator = coefficients[0];
        d.feedback = coefficients[1];
        return d;
    }
};

// The second-order sections of a band-pass band from its design: one per
// pole above the real axis, the first scaled to unit gain at the centre.
// Empty when the band cannot be used.
std::vector<dsp::IirFilter> PlainCascade(double f, double r) {
    const double h = (kThirdOctave * f - f) * 0.5;
    DesignStorage storage;
    dsp::FilterDesign d = storage.Record();
    d.options = 130;
    d.order = 6;
    d.rawAlpha1 = (f - h) / r;
    d.rawAlpha2 = (f + h) / r;
    if (!dsp::Design(d)) return {};
    std::vector<dsp::IirFilter> sections;
    for (int i = 0; i < d.zPoleCount; ++i) {
        const dsp::Complex p = d.zPoles[i];
        if (!(p.im > 0)) continue;
        if (!std::isfinite(p.re) || !std::isfinite(p.im)) return {};
        const double a[2] = {2 * p.re, -(p.re * p.re + p.im * p.im)};
        const double b[3] = {1, 0, -1};
        dsp::IirFilter section;
        section.Set(a, 2, b, 3);
        sections.push_back(section);
    }
    if (sections.size() != 6) return {};
    const double theta = kPi * (d.rawAlpha1 + d.rawAlpha2);
    const dsp::Complex zi = {std::cos(theta), -std::sin(theta)};
    const dsp::Complex zi2 = dsp::Multiply(zi, zi);
    dsp::Complex g = {1, 0};
    for (const dsp::IirFilter& s : sections) {
        const double twoRe = s.a[0];
        const double sq = -s.a[1];
        const dsp::Complex num = {1 - zi2.re, 0 - zi2.im};
        const dsp::Complex den = {1 - twoRe * zi.re + sq * zi2.re, 0 - twoRe * zi.im + sq * zi2.im};
        g = dsp::Multiply(g, dsp::Divide(num, den));
    }
    const double m = dsp::Modulus(g);
    if (!std::isfinite(m) || m == 0) return {};
    for (int k = 0; k < 3; ++k) sections[0].b[k] = sections[0].b[k] / m;
    return sections;
}

struct PlainBand {
    std::vector<dsp::IirFilter> modulator, excitation;  // a chain of one or more
    dsp::IirFilter lowPass;
};

double RunChain(std::vector<dsp::IirFilter>& chain, double x) {
    for (dsp::IirFilter& f : chain) x = f.Step(x);
    return x;
}

struct PlainSet {
    std::vector<PlainBand> bands;
    bool noise;
    float a;
    double T;
    double counter = 0;

    double Sample(double x) {
        std::vector<double> envelope;
        for (PlainBand& band : bands) {
            const double m = RunChain(band.modulator, x);
            envelope.push_back(band.lowPass.Step(std::fabs(m)));
        }
        double e;
        if (noise) {
            e = dsp::GaussianNoiseFrom(platform::Random, 0, 1) * a * 0.1666666716337204;
        } else {
            const double k = counter;
            counter = k + 1;
            e = 0;
            if (k >= T) {
                e = a;
                counter = 0;
            }
        }
        double wet = 0;
        for (std::size_t i = 0; i < bands.size(); ++i) {
            wet = wet + RunChain(bands[i].excitation, e) * envelope[i];
        }
        return wet;
    }
};

PlainSet MakePlainSet(const CylonatorSettings& s, bool right, int rate) {
    const float r = static_cast<float>(rate);
    const int D = r <= 8000 ? 15 : r < 9200 ? 16 : r < 12500 ? 17 : 18;
    const int E = r > 26000 ? 10 : 8;
    const float freq = static_cast<float>(s.freq);
    const float p = static_cast<float>((right ? s.pitchRight : s.pitchLeft) * 0.1);
    PlainSet set;
    set.a = static_cast<float>((right ? s.amplitudeRight : s.amplitudeLeft) * 0.5);
    set.noise = static_cast<int>(right ? s.noiseRightEnabled : s.noiseLeftEnabled) != 0;
    set.T = std::floor(r / (static_cast<double>(p) * freq));

    DesignStorage storage;
    dsp::FilterDesign lp = storage.Record();
    lp.options = 34;
    lp.order = 4;
    lp.rawAlpha1 = freq / static_cast<double>(r);
    EXPECT_TRUE(dsp::Design(lp));
    const double gain = dsp::Modulus(lp.centreGain);
    double la[4], lb[5];
    for (int k = 0; k < 4; ++k) la[k] = lp.feedback[3 - k];
    for (int k = 0; k < 5; ++k) lb[k] = lp.numerator[4 - k] / gain;

    for (int i = 0; i < D; ++i) {
        const double f = kCentres[i];
        PlainBand band;
        band.lowPass.Set(la, 4, lb, 5);
        if (i < E) {
            const double R = 1 - (kThirdOctave * f - f) * kPi / r;
            const double theta = 6.283185307179586 * f / r;
            const double a[2] = {2 * R * std::cos(theta), -(R * R)};
            const double b[1] = {(1 - R) * std::sqrt(1 + R * R - 2 * R * std::cos(2 * theta))};
            dsp::IirFilter resonator;
            resonator.Set(a, 2, b, 1);
            band.modulator = {resonator};
        } else {
            band.modulator = PlainCascade(f, r);
            if (band.modulator.empty()) continue;  // the band is left out
        }
        band.excitation = band.modulator;
        set.bands.push_back(band);
    }
    return set;
}

std::vector<std::int16_t> PlainCylonator(std::vector<std::int16_t> audio, int channels, int rate,
                                         const EffectSettings& s, std::uint32_t seed) {
    PlainSet right = MakePlainSet(s.cylonator, true, rate);
    PlainSet left = MakePlainSet(s.cylonator, false, rate);
    platform::SeedRandom(seed);
    const double P = 65536.0;
    auto process = [&](PlainSet& set, std::int16_t& sample) {
        const double wet = set.Sample(sample * (1 / P));
        sample = dsp::Store((wet * P * s.workingMix.wetMix + sample * s.workingMix.dryMix) * 0.01);
    };
    if (channels == 1) {
        for (std::int16_t& sample : audio) process(right, sample);
    } else {
        for (std::size_t i = 0; i + 1 < audio.size(); i += 2) {
            process(left, audio[i]);
            process(right, audio[i + 1]);
        }
    }
    return audio;
}

// ---------------------------------------------------------------------------
// Test signals and runs.

// A voiced tone with a gliding pitch and 1/k harmonics, in syllables with
// short pauses, over a little noise; the right channel a fifth higher.
std::vector<std::int16_t> VoiceLike(int rate, double seconds, int channels) {
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> out(frames * channels);
    std::uint32_t noise = 12345;
    for (int c = 0; c < channels; ++c) {
        double phase = 0;
        for (std::size_t n = 0; n < frames; ++n) {
            const double t = static_cast<double>(n) / rate;
            const double f0 = (120 + 40 * std::sin(2 * kPi * 0.7 * t)) * (c == 1 ? 1.5 : 1.0);
            phase += 2 * kPi * f0 / rate;
            double v = 0;
            for (int k = 1; k <= 24 && k * f0 < rate / 2; ++k) v += std::sin(k * phase) / k;
            const double syllable = std::sin(kPi * std::fmod(t * 3.1, 1.0));
            const double level = std::fmod(t * 3.1, 4.0) < 3.0 ? syllable * syllable : 0.0;
            noise = noise * 1103515245u + 12345u;
            const double hiss = ((noise >> 16) & 0x7FFF) / 32768.0 - 0.5;
            out[n * channels + c] = static_cast<std::int16_t>(7000 * level * v + 300 * hiss);
        }
    }
    return out;
}

EffectSettings CylonatorSettingsWith(double freq, double pitchLeft, double pitchRight,
                                     double ampLeft, double ampRight, bool noiseLeft,
                                     bool noiseRight, double wet = 100, double dry = 0) {
    EffectSettings s{};
    s.activeEffect = 3;
    s.workingMix = {wet, dry, 0};
    s.cylonator.freq = freq;
    s.cylonator.pitchLeft = pitchLeft;
    s.cylonator.pitchRight = pitchRight;
    s.cylonator.amplitudeLeft = ampLeft;
    s.cylonator.amplitudeRight = ampRight;
    s.cylonator.noiseLeftEnabled = noiseLeft ? 1 : 0;
    s.cylonator.noiseRightEnabled = noiseRight ? 1 : 0;
    return s;
}

std::vector<std::int16_t> RunEffect(const std::vector<std::int16_t>& audio, int channels, int rate,
                              const EffectSettings& s, std::int32_t* result = nullptr) {
    TestHost host(audio, static_cast<std::uint16_t>(channels), rate);
    const std::int32_t r = host::RunEffect(EffectKind::Cylonator, host.record, s);
    if (result != nullptr) *result = r;
    return host.audio;
}

double Rms(const std::int16_t* p, std::size_t n, std::size_t stride = 1) {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += static_cast<double>(p[i * stride]) * p[i * stride];
    return std::sqrt(sum / n);
}

class CylonatorTest : public ::testing::Test {
protected:
    void SetUp() override { platform::FixRunSeed(7); }
    void TearDown() override {
        platform::FixRunSeed(std::nullopt);
        platform::testing::ClearMemoryFaults();
    }
};

// ---------------------------------------------------------------------------

// The effect runs bands side by side in vector lanes, with the cascade's
// zero input coefficients left out; here every filter is an IirFilter.
TEST_F(CylonatorTest, SideBySideBandsMatchThePlainFiltersBitForBit) {
    struct Case {
        int channels, rate;
        EffectSettings settings;
    };
    const Case cases[] = {
        // "Battle Droid"
        {1, 44100, CylonatorSettingsWith(20, 52, 52, 40, 40, false, false)},
        {2, 48000, CylonatorSettingsWith(37, 23, 71, 100, 13, true, false, 70, 30)},
        {2, 22050, CylonatorSettingsWith(50, 1, 100, 25, 25, true, true)},
        {1, 11025, CylonatorSettingsWith(100, 10, 10, 50, 50, false, false, 60, 40)},
        {1, 8000, CylonatorSettingsWith(10, 7, 7, 80, 80, false, false)},
        // The top band reaches half the sample rate and is left out.
        {2, 9500, CylonatorSettingsWith(35, 8, 8, 46, 46, false, true)},
        {1, 9200, CylonatorSettingsWith(35, 8, 8, 46, 46, false, false)},
        {1, 6000, CylonatorSettingsWith(50, 30, 30, 40, 40, true, true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels at " << c.rate << " Hz");
        const std::vector<std::int16_t> input = VoiceLike(c.rate, 0.6, c.channels);
        const std::vector<std::int16_t> plain = PlainCylonator(input, c.channels, c.rate, c.settings, 7);
        ASSERT_NE(plain, input);
        EXPECT_EQ(RunEffect(input, c.channels, c.rate, c.settings), plain);
    }
}

TEST_F(CylonatorTest, BandPassCascadesPassTheirCentresAtUnitGain) {
    for (int rate : {44100, 48000}) {
        for (int band = 8; band < 18; ++band) {
            SCOPED_TRACE(testing::Message() << "band " << band << " at " << rate << " Hz");
            const double f = kCentres[band];
            std::vector<dsp::IirFilter> cascade = PlainCascade(f, rate);
            ASSERT_EQ(cascade.size(), 6u);
            // One second: the narrowest band settles within a few hundred
            // milliseconds; measure the last tenth.
            double in = 0, out = 0;
            for (int n = 0; n < rate; ++n) {
                const double x = std::sin(2 * kPi * f * n / rate);
                const double y = RunChain(cascade, x);
                if (n >= rate * 9 / 10) {
                    in += x * x;
                    out += y * y;
                }
            }
            EXPECT_NEAR(std::sqrt(out / in), 1.0, 0.02);
        }
    }
}

TEST_F(CylonatorTest, AMinuteOfVoiceAt48000HzStaysFiniteAndAudible) {
    const std::vector<std::int16_t> input = VoiceLike(48000, 60, 1);
    const std::vector<std::int16_t> output =
        RunEffect(input, 1, 48000, CylonatorSettingsWith(20, 52, 52, 40, 40, false, false));
    // A non-finite value would be stored as 0 from its sample on: every
    // second must still carry sound.
    for (int second = 0; second < 60; ++second) {
        EXPECT_GT(Rms(&output[second * 48000], 48000), 20.0) << "second " << second;
    }
    EXPECT_GT(Rms(&output[59 * 48000 + 47000], 1000), 0.0);
}

TEST_F(CylonatorTest, TopBandAtTheEdgeOfTheRateIsLeftOutAndTheRestPlays) {
    // Bands at 9500 Hz: the top one (centre 4375 Hz) reaches past 4750 Hz.
    const std::vector<std::int16_t> input = VoiceLike(9500, 1.0, 1);
    const std::vector<std::int16_t> output =
        RunEffect(input, 1, 9500, CylonatorSettingsWith(20, 52, 52, 40, 40, false, false));
    EXPECT_GT(Rms(output.data() + 4750, 4750), 20.0);
    EXPECT_TRUE(PlainCascade(4375, 9500).empty());
    EXPECT_EQ(PlainCascade(3472, 9500).size(), 6u);
}

TEST_F(CylonatorTest, BandCountsAndPulsePeriod) {
    EXPECT_EQ(dsp::CylonatorBandCount(44100), 18);
    EXPECT_EQ(dsp::CylonatorResonatorCount(44100), 10);
    EXPECT_EQ(dsp::CylonatorBandCount(22050), 18);
    EXPECT_EQ(dsp::CylonatorResonatorCount(22050), 8);
    EXPECT_EQ(dsp::CylonatorBandCount(11025), 17);
    EXPECT_EQ(dsp::CylonatorBandCount(9200), 17);
    EXPECT_EQ(dsp::CylonatorBandCount(9199), 16);
    EXPECT_EQ(dsp::CylonatorBandCount(8001), 16);
    EXPECT_EQ(dsp::CylonatorBandCount(8000), 15);
    EXPECT_EQ(dsp::CylonatorBandCount(12500), 18);
    EXPECT_EQ(dsp::CylonatorResonatorCount(26000), 8);
    EXPECT_EQ(dsp::CylonatorResonatorCount(26001), 10);
    EXPECT_EQ(dsp::CylonatorPulsePeriod(44100, static_cast<float>(10 * 0.1), 100.0f), 441.0);
    // p = 0.3 rounded to a float is slightly above 0.3: 2999, not 3000.
    EXPECT_EQ(dsp::CylonatorPulsePeriod(44100, static_cast<float>(3 * 0.1), 49.0f), 2999.0);
}

TEST_F(CylonatorTest, SilenceGivesSilenceWhateverTheExcitation) {
    const std::vector<std::int16_t> silence(20000, 0);
    for (bool noise : {false, true}) {
        EXPECT_EQ(RunEffect(silence, 2, 44100, CylonatorSettingsWith(50, 10, 10, 100, 100, noise, noise)),
                  silence);
        EXPECT_EQ(RunEffect(silence, 1, 8000,
                      CylonatorSettingsWith(50, 10, 10, 100, 100, noise, noise, 50, 50)),
                  silence);
    }
}

TEST_F(CylonatorTest, PulsesRepeatAcrossRunsAndNoiseFollowsTheSeed) {
    const std::vector<std::int16_t> input = VoiceLike(22050, 0.5, 2);
    const EffectSettings pulses = CylonatorSettingsWith(30, 40, 40, 60, 60, false, false);
    const EffectSettings noise = CylonatorSettingsWith(30, 40, 40, 60, 60, true, true);
    platform::FixRunSeed(1);
    const auto pulses1 = RunEffect(input, 2, 22050, pulses);
    const auto noise1 = RunEffect(input, 2, 22050, noise);
    const auto noiseAgain = RunEffect(input, 2, 22050, noise);
    platform::FixRunSeed(2);
    EXPECT_EQ(RunEffect(input, 2, 22050, pulses), pulses1);
    EXPECT_NE(RunEffect(input, 2, 22050, noise), noise1);
    EXPECT_EQ(noiseAgain, noise1);
}

TEST_F(CylonatorTest, LeftSettingsDriveTheLeftChannelAndRightSettingsTheRest) {
    const std::vector<std::int16_t> stereo = VoiceLike(16000, 0.5, 2);
    std::vector<std::int16_t> left, right;
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        left.push_back(stereo[i]);
        right.push_back(stereo[i + 1]);
    }
    // Pulses at different rates and heights on each side.
    const auto both = RunEffect(stereo, 2, 16000, CylonatorSettingsWith(40, 15, 60, 90, 20, false, false));
    const auto monoLeft = RunEffect(left, 1, 16000, CylonatorSettingsWith(40, 60, 15, 20, 90, false, false));
    const auto monoRight = RunEffect(right, 1, 16000, CylonatorSettingsWith(40, 60, 60, 20, 20, false, false));
    for (std::size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(both[2 * i], monoLeft[i]) << i;
        ASSERT_EQ(both[2 * i + 1], monoRight[i]) << i;
    }
    EXPECT_NE(monoLeft, RunEffect(left, 1, 16000, CylonatorSettingsWith(40, 60, 60, 20, 20, false, false)));
}

TEST_F(CylonatorTest, OutOfMemoryCallsNothingAndLeaksNothing) {
    const std::vector<std::int16_t> input = VoiceLike(44100, 0.1, 2);
    for (int n = 1; n <= 3; ++n) {
        for (bool lock : {false, true}) {
            SCOPED_TRACE(testing::Message() << (lock ? "lock " : "allocation ") << n);
            TestHost host(input, 2, 44100);
            const std::size_t before = platform::testing::LiveBlocks();
            if (lock) {
                platform::testing::FailNthLock(n);
            } else {
                platform::testing::FailNthAllocation(n);
            }
            EXPECT_EQ(host::RunEffect(EffectKind::Cylonator, host.record,
                                        CylonatorSettingsWith(20, 52, 52, 40, 40, false, false)),
                      1);
            EXPECT_TRUE(host.calls.empty());
            EXPECT_EQ(host.audio, input);
            EXPECT_EQ(platform::testing::LiveBlocks(), before);
            platform::testing::ClearMemoryFaults();
        }
    }
    TestHost host(input, 2, 44100);
    EXPECT_EQ(host::RunEffect(EffectKind::Cylonator, host.record, CylonatorSettingsWith(20, 52, 52, 40, 40, false, false)), 0);
    ASSERT_FALSE(host.calls.empty());
    EXPECT_EQ(host.calls[0].text, "Applying Cylonator...");
}

TEST(IirFilterTest, StepsWithNewestFirstHistories) {
    const double a[2] = {0.5, -0.25};
    const double b[3] = {1, 2, 3};
    dsp::IirFilter f;
    f.Set(a, 2, b, 3);
    EXPECT_EQ(f.Step(1), 1);                          // 1
    EXPECT_EQ(f.Step(0), 2 + 0.5 * 1);                // 2 + 0.5 y1
    EXPECT_EQ(f.Step(0), 3 + 0.5 * 2.5 - 0.25 * 1);   // 3 + 0.5 y2 - 0.25 y1
    EXPECT_EQ(f.inputs[2], 1);
    EXPECT_EQ(f.outputs[0], 4);
    EXPECT_EQ(f.outputs[1], 2.5);
}

}  // namespace
