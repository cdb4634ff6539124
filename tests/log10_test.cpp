// The gates' logarithm: a base-10 logarithm that decides every whole-decibel
// comparison as the C library's log10 does, computed without it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "dsp/log10.h"

namespace {

double FromBits(std::uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::uint64_t BitsOf(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// The smallest power whose level 10*log10(power) is above `limit`, by the C
// library's logarithm.
std::uint64_t SwitchPointBits(double limit) {
    std::uint64_t under = 0;
    std::uint64_t above = 0x7FF0000000000000u;
    while (above - under > 1) {
        const std::uint64_t middle = under + (above - under) / 2;
        (10.0 * std::log10(FromBits(middle)) > limit ? above : under) = middle;
    }
    return above;
}

TEST(Log10Test, DecidesEveryWholeDecibelLimitAsTheCLibrary) {
    // The sliders set whole decibels. Around each switch point, one
    // representable power at a time, all three comparisons agree.
    for (int limit = -120; limit <= 20; ++limit) {
        const std::uint64_t edge = SwitchPointBits(limit);
        for (std::int64_t step = -1500; step <= 1500; ++step) {
            const double power = FromBits(edge + step);
            const double ours = 10.0 * dsp::Log10(power);
            const double library = 10.0 * std::log10(power);
            ASSERT_EQ(ours > limit, library > limit) << limit << " " << step;
            ASSERT_EQ(ours >= limit, library >= limit) << limit << " " << step;
            ASSERT_EQ(ours < limit, library < limit) << limit << " " << step;
        }
    }
}

TEST(Log10Test, TheFloorOfSilenceMatchesTheCLibraryToTheBit) {
    // A follower fed zeros decays onto acc + 1e-9 = 1e-9: every power on
    // the way down is a few representable steps above it. Ten steps up is
    // where C runtimes disagree (0.52 of a unit in the last place from the
    // exact value): this logarithm says -9, as the GNU C library does.
    double power = 1e-9;
    for (int step = 0; step < 20000; ++step) {
        ASSERT_EQ(BitsOf(dsp::Log10(power)), BitsOf(std::log10(power))) << step;
        power = std::nextafter(power, 1.0);
    }
    EXPECT_EQ(dsp::Log10(1e-9), -9.0);
}

TEST(Log10Test, IsALogarithmOverTheWholeRange) {
    EXPECT_EQ(dsp::Log10(1.0), 0.0);
    EXPECT_EQ(dsp::Log10(10.0), 1.0);
    EXPECT_EQ(dsp::Log10(1e-3), -3.0);
    EXPECT_EQ(dsp::Log10(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(dsp::Log10(-0.0), -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(dsp::Log10(-1e-9)));
    EXPECT_TRUE(std::isnan(dsp::Log10(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_EQ(dsp::Log10(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
    // Within one unit in the last place of the C library everywhere,
    // subnormal powers included.
    std::uint64_t state = 88172645463325252u;
    for (int i = 0; i < 200000; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        const double x = FromBits(state % 0x7FF0000000000000u);
        if (x == 0.0) continue;
        const double ours = dsp::Log10(x);
        const double library = std::log10(x);
        const double unit = std::nextafter(std::fabs(library), 1e300) - std::fabs(library);
        ASSERT_LE(std::fabs(ours - library), unit) << x;
    }
}

}  // namespace
