// The Win32 platform layer on the system's own services, where it differs
// from the portable one: global memory with the shared fault hooks and the
// module's string table. The registry's and the dialog framework's
// promises are the contract suites of tests/contract, built in here too.
#include <windows.h>
// After windows.h, before the registry layer's own declarations.
#include "platform/win32/registry_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "platform/memory.h"
#include "platform/registry.h"
#include "platform/resource_tables.h"
#include "settings/resource_ids.h"

namespace {

using namespace platform;

TEST(Win32MemoryTest, BlocksAndFaultHooks) {
    const std::size_t live = platform::testing::LiveBlocks();
    MemHandle block = platform::GlobalAlloc(kGmemMoveable | kGmemZeroInit, 65000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(platform::testing::LiveBlocks(), live + 1);
    auto* bytes = static_cast<unsigned char*>(platform::GlobalLock(block));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[64999], 0);
    EXPECT_FALSE(platform::GlobalUnlock(block));

    platform::testing::FailNthLock(2);
    EXPECT_NE(platform::GlobalLock(block), nullptr);
    EXPECT_EQ(platform::GlobalLock(block), nullptr);
    platform::GlobalUnlock(block);
    EXPECT_EQ(platform::GlobalFree(block), nullptr);
    EXPECT_EQ(platform::testing::LiveBlocks(), live);

    platform::testing::FailNthAllocation(1);
    EXPECT_EQ(platform::GlobalAlloc(kGmemMoveable, 16), nullptr);
    MemHandle next = platform::GlobalAlloc(kGmemMoveable, 16);
    EXPECT_NE(next, nullptr);
    platform::GlobalFree(next);
    EXPECT_EQ(platform::testing::LiveBlocks(), live);
}

TEST(Win32ResourceTest, StringsComeFromTheCompiledStringTable) {
    // This program carries the plug-in's resources, so LoadString finds them.
    const char* root = FindStringResource(IDS_ROOT_KEY);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root, "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana");
    EXPECT_EQ(FindStringResource(IDS_ROOT_KEY), root) << "the text stays where it was";
    EXPECT_STREQ(FindStringResource(IDS_LAST_ACTIVE_EFFECT), "Last Active Effect");
    EXPECT_EQ(FindStringResource(9999), nullptr);
}

TEST(Win32ApplicationTest, TitleIsTheModulesBaseName) {
    // An application object of this program's own.
    CWinApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(app.title(), "platform_win32_test");
}

}  // namespace
