// The phase-vocoder pitch shifter: bit for bit against the plain ten steps,
// its lag and gain at factor 1, and where shifted tones land.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "dsp/pitch_shifter.h"
#include "host/effect_runs.h"
#include "tests/pitch_reference.h"

namespace {

constexpr int kFrame = 256;
constexpr int kOversampling = 8;

std::vector<float> Sine(int count, double hz, double rate, double amplitude) {
    std::vector<float> out(count);
    for (int i = 0; i < count; ++i) out[i] = static_cast<float>(amplitude * std::sin(2 * reference::kPi * hz * i / rate));
    return out;
}

// A voice-like test signal: two tones gliding, noise, and stretches of
// exact silence (which exercise the empty-bin inheritance).
std::vector<float> Mixture(int count, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> noise(0.0f, 0.02f);
    std::vector<float> out(count);
    for (int i = 0; i < count; ++i) {
        if ((i / 3000) % 4 == 3) continue;  // silence
        const double t = i / 44100.0;
        out[i] = static_cast<float>(0.2 * std::sin(2 * reference::kPi * (180 + 40 * t) * t) +
                                    0.1 * std::sin(2 * reference::kPi * 1250 * t) + noise(gen));
    }
    return out;
}

TEST(PitchShifterTest, MatchesThePlainStepsBitForBit) {
    std::vector<float> input = Mixture(24000, 5);
    // Near the end, values no voice gives: the largest floats, then an
    // infinity and a NaN, which the frames after them carry on.
    input[15000] = 3e38f;
    input[15001] = -3e38f;
    input[20000] = INFINITY;
    input[22000] = NAN;
    const int chunks[] = {1, 31, 32, 33, 500, 7999, 8000};
    for (float factor : {0.5f, 0.7777778f, 1.0f, 1.4375f, 2.0f, 0.4375f, 3.0f}) {
        for (float rate : {44100.0f, 22050.0f}) {
            auto fast = std::make_unique<dsp::PitchShifter>();
            auto plain = std::make_unique<reference::PitchShifter>();
            std::vector<float> a = input;  // processed in place
            std::vector<float> b(input.size());
            // Uneven calls: the stream must not depend on how it is cut.
            std::size_t at = 0;
            for (int c = 0; at < input.size(); c = (c + 1) % 7) {
                const int n = std::min<int>(chunks[c], static_cast<int>(input.size() - at));
                fast->Process(factor, n, kFrame, kOversampling, rate, a.data() + at, a.data() + at);
                at += n;
            }
            plain->Process(factor, static_cast<int>(input.size()), kFrame, kOversampling, rate,
                           input.data(), b.data());
            ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)))
                << "factor " << factor << " rate " << rate;
        }
    }
}

TEST(PitchShifterTest, FactorOneLagsByTheFrameWithGainOneAndAHalf) {
    // A tone in the middle of bin 20 at 44100 Hz.
    const double rate = 44100.0, hz = 20 * rate / kFrame;
    const std::vector<float> input = Sine(8192, hz, rate, 0.25);
    std::vector<float> output(input.size());
    auto shifter = std::make_unique<dsp::PitchShifter>();
    shifter->Process(1.0f, static_cast<int>(input.size()), kFrame, kOversampling, 44100.0f,
                     input.data(), output.data());
    // The first hop is the zeroed pipeline; until a frame's length has gone
    // by only the resynthesis' faint spread (about 1 % of the level) reaches
    // the oldest samples.
    for (int i = 0; i < kFrame / kOversampling; ++i) ASSERT_EQ(output[i], 0.0f) << i;
    for (int i = 0; i < kFrame; ++i) ASSERT_LT(std::fabs(output[i]), 0.02 * 0.25) << i;
    // Once the overlap-add is full, each output is 1.5 times the input one
    // frame earlier: the analysis doubles the magnitude, the window's
    // neighbouring bins add half again, the synthesis window and the
    // 1 / ((N/2) O) scale take back the rest. A lag of 224 would put the
    // tone 2.5 periods off, the opposite sign. Tolerance: the running phase
    // is a float, whose resolution coarsens as it grows (a bin-20 tone gains
    // about 16 radians a hop), so look at the first few thousand samples.
    double worst = 0.0;
    for (int i = 4 * kFrame; i < 4096; ++i) {
        worst = std::max(worst, std::fabs(output[i] - 1.5 * input[i - kFrame]));
    }
    EXPECT_LT(worst, 0.005 * 0.25);
}

// Counts upward zero crossings of the settled part, as cycles per second.
double MeasuredFrequency(const std::vector<float>& signal, int from, double rate) {
    int crossings = 0, first = -1, last = -1;
    for (int i = from + 1; i < static_cast<int>(signal.size()); ++i) {
        if (signal[i - 1] < 0 && signal[i] >= 0) {
            if (first < 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return (crossings - 1) * rate / (last - first);
}

TEST(PitchShifterTest, MovesATonesFrequencyByTheFactor) {
    // Off-centre tones: the frequency comes from the phase advance, not the
    // bin. Within 1 %: the zero-crossing count over half a second.
    const double rate = 44100.0;
    for (double hz : {300.0, 1000.0}) {
        for (float factor : {0.5f, 1.4375f, 2.0f}) {
            const std::vector<float> input = Sine(22050 + 4 * kFrame, hz, rate, 0.3);
            std::vector<float> output(input.size());
            auto shifter = std::make_unique<dsp::PitchShifter>();
            shifter->Process(factor, static_cast<int>(input.size()), kFrame, kOversampling,
                             static_cast<float>(rate), input.data(), output.data());
            EXPECT_NEAR(MeasuredFrequency(output, 3 * kFrame, rate), hz * factor, 0.01 * hz * factor)
                << hz << " Hz by " << factor;
        }
    }
}

TEST(PitchShifterTest, DoublingDropsTonesAboveAQuarterOfTheRate) {
    // Output bin j draws from bin trunc(j / 2): a 15 kHz tone (bin 87)
    // would land in bin 174, past the top bin 128, so nothing carries it.
    const double rate = 44100.0;
    const std::vector<float> input = Sine(16384, 15000.0, rate, 0.3);
    std::vector<float> output(input.size());
    auto shifter = std::make_unique<dsp::PitchShifter>();
    shifter->Process(2.0f, static_cast<int>(input.size()), kFrame, kOversampling,
                     static_cast<float>(rate), input.data(), output.data());
    double peak = 0.0;
    for (std::size_t i = 4 * kFrame; i < output.size(); ++i) peak = std::max(peak, std::fabs(double(output[i])));
    // Only the window's leakage into the low bins maps anywhere: far below
    // the tone's level.
    EXPECT_LT(peak, 0.01);
}

TEST(PitchShifterTest, ProcessWideInstancesKeepTheirStreamUntilReset) {
    host::testing::ResetPitchShifters();
    const std::vector<float> input = Mixture(1000, 9);
    std::vector<float> first(input.size()), second(input.size()), again(input.size());
    host::RightPitchShifter().Process(1.0f, 1000, kFrame, kOversampling, 44100.0f, input.data(), first.data());
    host::RightPitchShifter().Process(1.0f, 1000, kFrame, kOversampling, 44100.0f, input.data(), second.data());
    // The second call starts with what the first left in the pipeline.
    EXPECT_EQ(first[0], 0.0f);
    EXPECT_NE(std::memcmp(first.data(), second.data(), first.size() * sizeof(float)), 0);
    auto plain = std::make_unique<reference::PitchShifter>();
    std::vector<float> twice = input, out(2000);
    twice.insert(twice.end(), input.begin(), input.end());
    plain->Process(1.0f, 2000, kFrame, kOversampling, 44100.0f, twice.data(), out.data());
    EXPECT_EQ(0, std::memcmp(second.data(), out.data() + 1000, 1000 * sizeof(float)));
    // The left instance is a stream of its own, and a reset starts afresh.
    host::LeftPitchShifter().Process(1.0f, 1000, kFrame, kOversampling, 44100.0f, input.data(), again.data());
    EXPECT_EQ(0, std::memcmp(first.data(), again.data(), first.size() * sizeof(float)));
    host::testing::ResetPitchShifters();
    host::RightPitchShifter().Process(1.0f, 1000, kFrame, kOversampling, 44100.0f, input.data(), again.data());
    EXPECT_EQ(0, std::memcmp(first.data(), again.data(), first.size() * sizeof(float)));
    host::testing::ResetPitchShifters();
}

}  // namespace
