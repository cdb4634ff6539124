// The runtime's random generator, global memory and the run clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/clock.h"
#include "platform/memory.h"
#include "platform/random.h"

namespace {

TEST(RandomTest, SeedOneGivesTheRuntimeSequence) {
    platform::SeedRandom(1);
    EXPECT_EQ(platform::Random(), 41);
    EXPECT_EQ(platform::Random(), 18467);
    EXPECT_EQ(platform::Random(), 6334);
    EXPECT_EQ(platform::Random(), 26500);
    EXPECT_EQ(platform::Random(), 19169);
}

TEST(RandomTest, FollowsTheRecurrenceForAnySeed) {
    const std::uint32_t seed = 1733625000u;
    platform::SeedRandom(seed);
    std::uint32_t state = seed;
    for (int i = 0; i < 1000; ++i) {
        state = state * 214013u + 2531011u;
        ASSERT_EQ(platform::Random(), static_cast<int>((state >> 16) & 0x7FFF));
    }
}

TEST(RandomTest, EachThreadHasItsOwnState) {
    platform::SeedRandom(1);
    int other = -1;
    std::thread([&] {
        platform::SeedRandom(1);
        platform::Random();
        other = platform::Random();
    }).join();
    EXPECT_EQ(other, 18467);
    EXPECT_EQ(platform::Random(), 41);
}

TEST(ClockTest, FixedSeedOverridesTimeAndEnvironment) {
    platform::FixRunSeed(7);
    EXPECT_EQ(platform::RunSeed(), 7u);
    platform::FixRunSeed(std::nullopt);
    setenv(platform::kSeedEnvironmentVariable, "12345", 1);
    EXPECT_EQ(platform::RunSeed(), 12345u);
    setenv(platform::kSeedEnvironmentVariable, "not a number", 1);
    EXPECT_GT(platform::RunSeed(), 1700000000u);  // the clock again
    unsetenv(platform::kSeedEnvironmentVariable);
}

TEST(GlobalMemoryTest, LockUnlockFree) {
    platform::MemHandle block = platform::GlobalAlloc(platform::kGmemMoveable | platform::kGmemZeroInit, 16);
    ASSERT_NE(block, nullptr);
    auto* bytes = static_cast<unsigned char*>(platform::GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bytes[i], 0);
    EXPECT_EQ(platform::GlobalLock(block), bytes);
    EXPECT_TRUE(platform::GlobalUnlock(block));    // still locked once
    EXPECT_FALSE(platform::GlobalUnlock(block));   // now unlocked
    EXPECT_FALSE(platform::GlobalUnlock(block));   // was not locked
    EXPECT_EQ(platform::GlobalFree(block), nullptr);
    EXPECT_EQ(platform::GlobalLock(block), nullptr);  // stale handle
    EXPECT_EQ(platform::GlobalFree(block), block);
}

TEST(GlobalMemoryTest, FaultHooksHitTheNthCall) {
    platform::testing::FailNthAllocation(2);
    platform::MemHandle first = platform::GlobalAlloc(platform::kGmemMoveable, 8);
    platform::MemHandle second = platform::GlobalAlloc(platform::kGmemMoveable, 8);
    platform::MemHandle third = platform::GlobalAlloc(platform::kGmemMoveable, 8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    platform::testing::FailNthLock(1);
    EXPECT_EQ(platform::GlobalLock(first), nullptr);
    EXPECT_NE(platform::GlobalLock(first), nullptr);
    platform::GlobalUnlock(first);
    platform::GlobalFree(first);
    platform::GlobalFree(third);
    platform::testing::ClearMemoryFaults();
}

}  // namespace
