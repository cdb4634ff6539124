// The level gate must make exactly the decibel comparison's decision, also
// for powers right at the switch point.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/level_gate.h"

namespace {

using Cmp = dsp::LevelGate::Test;

bool InDecibels(double power, double limit, Cmp test) {
    const double level = 10.0 * std::log10(power);
    if (test == Cmp::Below) return level < limit;
    return test == Cmp::Above ? level > limit : level >= limit;
}

TEST(LevelGateTest, DecidesAsTheDecibelComparison) {
    const double limits[] = {-90.0, -75.0, -70.0, -20.0, -6.020599913279624, 0.0, -89.99999999999999, -30.5};
    for (Cmp test : {Cmp::Above, Cmp::AtLeast, Cmp::Below}) {
        for (double limit : limits) {
            const dsp::LevelGate gate(limit, test);
            // Around the switch point, one representable power at a time.
            const double centre = std::pow(10.0, limit / 10.0);
            double power = centre;
            for (int i = 0; i < 3000; ++i) power = std::nextafter(power, 0.0);
            for (int i = 0; i < 6000; ++i) {
                ASSERT_EQ(gate.Passes(power), InDecibels(power, limit, test)) << limit << " " << power;
                power = std::nextafter(power, 1.0);
            }
            // And across the whole range a follower can produce.
            for (double p = 1e-9; p < 0.3; p *= 1.0001) {
                ASSERT_EQ(gate.Passes(p), InDecibels(p, limit, test)) << limit << " " << p;
            }
        }
    }
}

TEST(LevelGateTest, TheFloorOfSilence) {
    // A follower fed zeros reports 10*log10(1e-9): exactly at -90 dB or not,
    // the gate agrees with the logarithm.
    for (Cmp test : {Cmp::Above, Cmp::AtLeast, Cmp::Below}) {
        EXPECT_EQ(dsp::LevelGate(-90.0, test).Passes(1e-9), InDecibels(1e-9, -90.0, test));
    }
}

TEST(LevelGateTest, LimitsNothingOrEverythingPasses) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (Cmp test : {Cmp::Above, Cmp::AtLeast, Cmp::Below}) {
        const bool below = test == Cmp::Below;
        EXPECT_FALSE(dsp::LevelGate(nan, test).Passes(0.1));
        EXPECT_FALSE(dsp::LevelGate(nan, test).Passes(1e-9));
        EXPECT_EQ(dsp::LevelGate(inf, test).Passes(1e300), below);
        EXPECT_EQ(dsp::LevelGate(1e6, test).Passes(0.25), below);
        EXPECT_EQ(dsp::LevelGate(-inf, test).Passes(1e-9), !below);
        EXPECT_EQ(dsp::LevelGate(-1e6, test).Passes(1e-9), !below);
    }
}

}  // namespace
