// Gaussian noise, the two-stage mix and the level follower, against values
// worked out here from their definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/cpu_features.h"
#include "dsp/random_generator.h"
#include "dsp/signal_helpers.h"
#include "platform/random.h"

namespace {

TEST(GaussianNoiseTest, SumsTwelveDrawsInSinglePrecision) {
    platform::SeedRandom(1);
    const int draws[12] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464, 5705, 28145};
    float sum = 0.0f;
    for (int r : draws) sum = static_cast<float>(sum + r * 3.051850947599719e-05);
    const double expected = 3.0 + std::sqrt(2.0) * (static_cast<double>(sum) - 6.0);
    EXPECT_EQ(dsp::GaussianNoiseFrom(platform::Random, 3.0f, 2.0f), expected);
    EXPECT_EQ(platform::Random(), 23281);  // exactly twelve draws were used
}

TEST(GaussianNoiseTest, StaysWithinSixDeviations) {
    platform::SeedRandom(99);
    for (int i = 0; i < 20000; ++i) {
        const double unit = dsp::GaussianNoiseFrom(platform::Random, 0.0f, 1.0f);
        ASSERT_LE(std::fabs(unit), 6.0);
        const double wide = dsp::GaussianNoiseFrom(platform::Random, 3.0f, 2.0f);
        ASSERT_LE(std::fabs(wide - 3.0), 6.0 * std::sqrt(2.0) + 1e-12);
    }
}

// Many values side by side, on every path: each the value drawn alone,
// and the generator left where as many single draws leave it.
TEST(GaussianNoiseTest, ManyAtOnceAreTheValuesDrawnOneByOne) {
    for (bool avx2 : {true, false}) {
        dsp::AllowAvx2(avx2);
        dsp::RandomGenerator batch(12345), single(12345);
        std::vector<double> values(8 * 9 + 5);
        dsp::GaussianNoises(batch, values.size(), 3.0f, 2.0f, values.data());
        for (std::size_t i = 0; i < values.size(); ++i) {
            ASSERT_EQ(values[i], dsp::GaussianNoiseFrom(single, 3.0f, 2.0f)) << i << (avx2 ? " avx2" : "");
        }
        EXPECT_EQ(batch.State(), single.State());
    }
    dsp::AllowAvx2(true);
}

// The two-stage mix, pairs at a time, gives what Store gives sample by
// sample: across the 32-bit range's edges, where the low 16 bits wrap, and
// for values that are not numbers.
TEST(MixStoredWetTest, IsStoreOfStoreSampleBySample) {
    const float wets[] = {0.0f, -0.0f, 0.3f, -0.49999f, 1.7f, 65535.5f, -32768.9f, 1.2e5f, 16384.0f,
                          -16384.0f, 2.5e5f, -2.5e5f, 3e9f, -3e9f, 1e30f, INFINITY, -INFINITY, NAN, 1e-40f};
    const std::int16_t drys[] = {0, 1, -1, 32767, -32768, 12345, -20000};
    std::vector<float> wet;
    std::vector<std::int16_t> mixed, expected;
    for (int i = 0; i < 401; ++i) {  // odd: the last sample alone
        wet.push_back(wets[i % std::size(wets)] * (i % 5 == 4 ? 1.0e4f : 1.0f));
        mixed.push_back(drys[i % std::size(drys)]);
    }
    const double p = 65536.0, wetMix = 97, dryMix = 45;
    for (std::size_t i = 0; i < wet.size(); ++i) {
        const std::int16_t w = dsp::Store(wet[i] * p * wetMix * 0.01);
        expected.push_back(dsp::Store(w + mixed[i] * dryMix * 0.01));
    }
    dsp::MixStoredWet(wet.data(), p, wetMix, dryMix, mixed.data(), static_cast<std::int32_t>(mixed.size()));
    EXPECT_EQ(mixed, expected);
}

TEST(LevelFollowerTest, SilenceSitsAtTheFloor) {
    dsp::LevelFollower follower(dsp::kAlienatorLevelOld, dsp::kAlienatorLevelNew, 65536.0);
    EXPECT_DOUBLE_EQ(follower.Update(0), -90.0);
    EXPECT_DOUBLE_EQ(follower.Update(0), -90.0);
}

TEST(LevelFollowerTest, QuarterScaleApproachesMinusTwelveDecibelsFromBelow) {
    dsp::LevelFollower follower(dsp::kAlienatorLevelOld, dsp::kAlienatorLevelNew, 65536.0);
    const double target = 10.0 * std::log10(0.0625);
    double previous = -1000.0;
    double level = 0.0;
    for (int i = 0; i < 2000; ++i) {
        level = follower.Update(16384);
        ASSERT_GE(level, previous);
        ASSERT_LT(level, target + 1e-6);
        previous = level;
    }
    EXPECT_NEAR(level, target, 1e-6);
}

TEST(LevelFollowerTest, FirstStepFollowsTheFormula) {
    dsp::LevelFollower follower(dsp::kCommunicatorLevelOld, dsp::kCommunicatorLevelNew, 65536.0);
    const double s = 1000.0 * (1.0 / 65536.0);
    const double acc1 = (s * s) * 0.010000000000000009 + 0.0 * 0.99;
    EXPECT_EQ(follower.Update(1000), 10.0 * std::log10(acc1 + 1e-9));
    const double acc2 = (s * s) * 0.010000000000000009 + acc1 * 0.99;
    EXPECT_EQ(follower.Update(1000), 10.0 * std::log10(acc2 + 1e-9));
}

}  // namespace
