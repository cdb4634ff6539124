// A threshold on a follower's level, decided on its power instead of its
// decibels.
//
// The effects compare level = 10*log10(power) with a setting once per
// sample, with the logarithm of dsp/log10.h, which every build computes
// alike. 10*log10 only grows with the power, so the comparison flips at one
// power value; the gate finds that value once, with the same logarithm, and
// then compares powers. Powers within a hair of the switch point (a relative
// 2^-30, thousands of times wider than any rounding of the logarithm) still
// take the logarithm, so every decision is the one the decibel comparison
// makes.
#pragma once

namespace dsp {

class LevelGate {
public:
    enum class Test {
        Above,    // level > limit
        AtLeast,  // level >= limit
        Below,    // level < limit
    };

    LevelGate(double limit, Test test);

    // The comparison for level = 10*log10(power), power > 0.
    bool Passes(double power) const {
        if (power < low_) return below_;
        if (power > high_) return !below_;
        // A follower fed silence holds one power for a long time, often
        // right at the switch point: the last decision is kept.
        if (power != lastPower_) {
            lastPower_ = power;
            lastDecision_ = Exact(power);
        }
        return lastDecision_;
    }

    // The comparison worked out with the logarithm.
    bool Exact(double power) const;

private:
    double limit_;
    Test test_;
    bool below_;   // passes under the switch point instead of above it
    double low_;   // under: the level is below the limit
    double high_;  // over: the level is at or above it (or above, for Above)
    mutable double lastPower_ = -1.0;  // no power is negative
    mutable bool lastDecision_ = false;
};

}  // namespace dsp
