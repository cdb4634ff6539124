// The float <-> 16-bit conversion at the plug-ins' boundary, where the host
// tests' voice does not reach: halves, the clipping edges, non-numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lv2/sample_convert.h"

namespace {

using lv2plugin::FloatFromSample;
using lv2plugin::SampleFromFloat;

float Steps(double steps) { return static_cast<float>(steps / 32768.0); }

TEST(SampleConvert, RoundsHalvesToEvenAndClipsToTheSampleRange) {
    EXPECT_EQ(SampleFromFloat(Steps(0.5)), 0);
    EXPECT_EQ(SampleFromFloat(Steps(1.5)), 2);
    EXPECT_EQ(SampleFromFloat(Steps(2.5)), 2);
    EXPECT_EQ(SampleFromFloat(Steps(-0.5)), 0);
    EXPECT_EQ(SampleFromFloat(Steps(-1.5)), -2);
    EXPECT_EQ(SampleFromFloat(Steps(-2.5)), -2);
    EXPECT_EQ(SampleFromFloat(Steps(100.49)), 100);
    EXPECT_EQ(SampleFromFloat(Steps(-100.51)), -101);
    EXPECT_EQ(SampleFromFloat(Steps(32766.5)), 32766);
    EXPECT_EQ(SampleFromFloat(1.0f), 32767);
    EXPECT_EQ(SampleFromFloat(7.0f), 32767);
    EXPECT_EQ(SampleFromFloat(-1.0f), -32768);
    EXPECT_EQ(SampleFromFloat(-7.0f), -32768);
    EXPECT_EQ(SampleFromFloat(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(SampleFromFloat(-std::numeric_limits<float>::infinity()), -32768);
    EXPECT_EQ(SampleFromFloat(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(SampleConvert, EverySampleComesBackUnchanged) {
    for (int s = -32768; s <= 32767; ++s) {
        const float x = FloatFromSample(static_cast<std::int16_t>(s));
        ASSERT_EQ(x, static_cast<float>(s / 32768.0)) << s;
        ASSERT_EQ(SampleFromFloat(x), s);
    }
}

}  // namespace
