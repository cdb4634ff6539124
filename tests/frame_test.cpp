// The block loop: blocks, callbacks and their order, cancel, out of memory,
// and the conversion of results to 16-bit samples.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "dsp/signal_helpers.h"
#include "host/block_loop.h"
#include "host/effect_runs.h"
#include "platform/clock.h"
#include "platform/memory.h"
#include "tests/test_host.h"

namespace {

using K = HostCall::Kind;

// Adds 1 to every sample, so a test can see which samples were processed.
class IncrementRun : public host::EffectRun {
public:
    void ProcessBlock(std::int16_t* samples, std::uint32_t count) override {
        for (std::uint32_t i = 0; i < count; ++i) ++samples[i];
    }
};

std::int32_t RunIncrement(TestHost& host) {
    return host::RunBlockLoop(host.record, "Working...", [](const dsp::StreamFormat&) {
        return std::make_unique<IncrementRun>();
    });
}

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override { platform::FixRunSeed(1); }
    void TearDown() override {
        platform::FixRunSeed(std::nullopt);
        platform::testing::ClearMemoryFaults();
    }
};

TEST_F(FrameTest, EmptySelectionOnlyAnnouncesAndEnds) {
    TestHost host(std::vector<std::int16_t>(10, 5), 1, 44100);
    host.Select(4, 3);
    EXPECT_EQ(RunIncrement(host), 0);
    EXPECT_EQ(host.Kinds(), (std::vector<K>{K::Status, K::End}));
    EXPECT_EQ(host.calls[0].text, "Working...");
    EXPECT_EQ(host.calls[0].first, 0u);  // the status call's second argument is 0
}

TEST_F(FrameTest, BackwardSelectionIsEmptyInsteadOfWrapping) {
    TestHost host(std::vector<std::int16_t>(10, 5), 1, 44100);
    host.Select(8, 2);
    EXPECT_EQ(RunIncrement(host), 0);
    EXPECT_EQ(host.Kinds(), (std::vector<K>{K::Status, K::End}));
    EXPECT_FALSE(host.outOfBounds);
    EXPECT_EQ(host.audio, std::vector<std::int16_t>(10, 5));
}

TEST_F(FrameTest, MonoSelectionSplitsIntoFullBlocksAndRest) {
    TestHost host(std::vector<std::int16_t>(8001 + 10, 0), 1, 44100);
    host.Select(5, 5 + 8000);  // 8001 frames
    ASSERT_EQ(RunIncrement(host), 0);
    EXPECT_EQ(host.Kinds(), (std::vector<K>{K::Status, K::Read, K::Write, K::Progress, K::Read,
                                            K::Write, K::Progress, K::End}));
    EXPECT_EQ(host.calls[1].first, 10u);
    EXPECT_EQ(host.calls[1].second, 16000u);
    EXPECT_EQ(host.calls[4].first, 16010u);
    EXPECT_EQ(host.calls[4].second, 2u);
    EXPECT_EQ(host.calls[3].first, 16000u);
    EXPECT_EQ(host.calls[3].second, 16002u);
    EXPECT_EQ(host.calls[6].first, 16002u);
    // Exactly the selection was processed.
    for (std::size_t i = 0; i < host.audio.size(); ++i) {
        const bool selected = i >= 5 && i <= 8005;
        EXPECT_EQ(host.audio[i], selected ? 1 : 0) << i;
    }
}

TEST_F(FrameTest, StereoSelectionReportsProgressPerBlock) {
    TestHost host(std::vector<std::int16_t>(16000, 0), 2, 44100);
    ASSERT_EQ(RunIncrement(host), 0);
    ASSERT_EQ(host.Count(K::Progress), 2);
    EXPECT_EQ(host.calls[3].first, 16000u);
    EXPECT_EQ(host.calls[3].second, 32000u);
    EXPECT_EQ(host.calls[6].first, 32000u);
    EXPECT_EQ(host.calls[6].second, 32000u);
}

TEST_F(FrameTest, CancelStopsAfterTheBlockInHand) {
    TestHost host(std::vector<std::int16_t>(40000, 0), 1, 44100);
    host.CancelDuringRead(1);
    ASSERT_EQ(RunIncrement(host), 0);
    EXPECT_EQ(host.Kinds(), (std::vector<K>{K::Status, K::Read, K::Write, K::Progress, K::End}));
    EXPECT_EQ(host.audio[7999], 1);
    EXPECT_EQ(host.audio[8000], 0);
}

TEST_F(FrameTest, MissingOptionalCallbacksAreSkipped) {
    TestHost host(std::vector<std::int16_t>(9000, 0), 1, 44100);
    host.DropOptionalCallbacks();
    ASSERT_EQ(RunIncrement(host), 0);
    EXPECT_EQ(host.Kinds(), (std::vector<K>{K::Read, K::Write, K::Read, K::Write}));
    EXPECT_EQ(host.audio[8999], 1);
}

TEST_F(FrameTest, OutOfMemoryCallsNothingAndLeaksNothing) {
    for (int fault = 0; fault < 2; ++fault) {
        TestHost host(std::vector<std::int16_t>(100, 3), 1, 44100);
        const std::size_t before = platform::testing::LiveBlocks();
        if (fault == 0) {
            platform::testing::FailNthAllocation(1);
        } else {
            platform::testing::FailNthLock(1);
        }
        EXPECT_EQ(RunIncrement(host), 1);
        EXPECT_TRUE(host.calls.empty());
        EXPECT_EQ(host.audio, std::vector<std::int16_t>(100, 3));
        EXPECT_EQ(platform::testing::LiveBlocks(), before);
    }
}

TEST_F(FrameTest, EffectThatCannotPrepareGivesBackTheSampleBuffer) {
    TestHost host(std::vector<std::int16_t>(100, 3), 1, 44100);
    const std::size_t before = platform::testing::LiveBlocks();
    EXPECT_EQ(host::RunBlockLoop(host.record, "x",
                                [](const dsp::StreamFormat&) -> std::unique_ptr<host::EffectRun> {
                                    throw std::bad_alloc();
                                }),
              1);
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(platform::testing::LiveBlocks(), before);
}

TEST_F(FrameTest, StereoBlocksHoldWholeFramesOnly) {
    // A record claiming stereo with 2-byte frames: the odd sample of the last
    // block is no frame and stays as read.
    TestHost host(std::vector<std::int16_t>(3, 0), 2, 44100);
    host.record.bytesPerFrame = 2;
    host.Select(0, 2);
    ASSERT_EQ(RunIncrement(host), 0);
    EXPECT_EQ(host.audio, (std::vector<std::int16_t>{1, 1, 0}));
}

TEST(StoreTest, TruncatesTowardZeroAndWraps) {
    EXPECT_EQ(dsp::Store(1.9), 1);
    EXPECT_EQ(dsp::Store(-1.9), -1);
    EXPECT_EQ(dsp::Store(32767.99), 32767);
    EXPECT_EQ(dsp::Store(32768.0), -32768);
    EXPECT_EQ(dsp::Store(-32769.0), 32767);
    EXPECT_EQ(dsp::Store(40000.0), -25536);
    EXPECT_EQ(dsp::Store(-40000.0), 25536);
    EXPECT_EQ(dsp::Store(65536.0 * 3 + 7.5), 7);
}

TEST(StoreTest, NonFiniteAndHugeValuesGiveZero) {
    EXPECT_EQ(dsp::Store(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(dsp::Store(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(dsp::Store(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(dsp::Store(9.3e18), 0);
    EXPECT_EQ(dsp::Store(-9.3e18), 0);
    // The largest doubles inside the range still wrap as integers do.
    EXPECT_EQ(dsp::Store(-9223372036854775808.0), 0);
    EXPECT_EQ(dsp::Store(4611686018427387904.0 + 3.0 * 65536.0), 0);
}

TEST(NormalisingFactorTest, IsTwoToTheBits) {
    EXPECT_EQ(dsp::NormalisingFactor(16), 65536.0);
    EXPECT_EQ(dsp::NormalisingFactor(8), 256.0);
    EXPECT_EQ(dsp::NormalisingFactor(0), 1.0);
}

TEST(DispatchTest, EffectIndexOutsideTheFourCallsNothing) {
    TestHost host(std::vector<std::int16_t>(100, 3), 1, 44100);
    EffectSettings settings{};
    for (std::int32_t index : {-1, 4, 1000}) {
        settings.activeEffect = index;
        EXPECT_EQ(host::RunActiveEffect(host.record, settings), 0);
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST(DispatchTest, EachEffectAnnouncesItself) {
    const char* expected[] = {"Applying Alienator...", "Applying Communicator...",
                              "Applying Deepenator", "Applying Cylonator..."};
    for (int effect = 0; effect < static_cast<int>(std::size(expected)); ++effect) {
        TestHost host(std::vector<std::int16_t>(0), 1, 44100);
        host.Select(0, -1);
        EffectSettings settings{};
        settings.activeEffect = effect;
        EXPECT_EQ(host::RunActiveEffect(host.record, settings), 0);
        ASSERT_FALSE(host.calls.empty());
        EXPECT_EQ(host.calls[0].text, expected[effect]);
    }
}

}  // namespace
