// The Win32 platform layer on the system's own services: the registry
// under HKEY_CURRENT_USER, global memory with the shared fault hooks, the
// system's message texts and the module's string table.
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

namespace {

using namespace platform;

const std::string kTestRoot = "Software\\Kestrum\\Zentrix Tovana Platform Test";

class Win32RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTree(CurrentUserKey(), kTestRoot); }
    void TearDown() override {
        platform::testing::ClearRegistryFaults();
        RegDeleteTree(CurrentUserKey(), kTestRoot);
    }
    RegKey Create(const std::string& below) {
        RegKey key = nullptr;
        EXPECT_EQ(RegCreateKey(CurrentUserKey(), kTestRoot + (below.empty() ? "" : "\\" + below), &key),
                  kErrorSuccess);
        return key;
    }
};

TEST_F(Win32RegistryTest, EightByteValuesOfTypeNone) {
    RegKey key = Create("Init\\Last Alienator Settings");
    const double written = 1234.5;
    ASSERT_EQ(RegSetValue(key, "Carrier Freq", kRegNone, &written, sizeof written), kErrorSuccess);
    ASSERT_EQ(RegSetValue(key, "Empty", kRegNone, nullptr, 0), kErrorSuccess);

    std::uint32_t size = 0;
    EXPECT_EQ(RegQueryValueSize(key, "Carrier Freq", &size), kErrorSuccess);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(RegQueryValueSize(key, "Empty", &size), kErrorSuccess);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(RegQueryValueSize(key, "Missing", &size), kErrorFileNotFound);

    double read = 0;
    std::uint32_t type = 99;
    size = sizeof read;
    EXPECT_EQ(RegQueryValue(key, "carrier freq", &type, &read, &size), kErrorSuccess);
    EXPECT_EQ(type, kRegNone);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(read, written);

    // A buffer too small is left untouched and told the size needed.
    unsigned char small[4] = {1, 2, 3, 4};
    size = sizeof small;
    EXPECT_EQ(RegQueryValue(key, "Carrier Freq", &type, small, &size), kErrorMoreData);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(small[0], 1);
    EXPECT_EQ(small[3], 4);

    EXPECT_EQ(RegDeleteValue(key, "Carrier Freq"), kErrorSuccess);
    EXPECT_EQ(RegQueryValueSize(key, "Carrier Freq", &size), kErrorFileNotFound);
    EXPECT_EQ(RegCloseKey(key), kErrorSuccess);
}

TEST_F(Win32RegistryTest, OpeningCreatingAndEnumeratingSubkeys) {
    RegKey missing = nullptr;
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot, &missing), kErrorFileNotFound);
    EXPECT_EQ(missing, nullptr);

    RegKey presets = Create("Communicator Presets");
    for (const char* name : {"walkie", "Apollo", "Big Radio Voice"}) {
        RegKey preset = nullptr;
        ASSERT_EQ(RegCreateKey(presets, name, &preset), kErrorSuccess);
        RegCloseKey(preset);
    }
    std::uint32_t longest = 0;
    EXPECT_EQ(RegQueryMaxSubKeyLength(presets, &longest), kErrorSuccess);
    EXPECT_EQ(longest, std::strlen("Big Radio Voice"));

    std::vector<std::string> names;
    char name[64];
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = sizeof name;
        const long error = RegEnumKey(presets, index, name, &length);
        if (error != kErrorSuccess) {
            EXPECT_EQ(error, kErrorNoMoreItems);
            break;
        }
        EXPECT_EQ(length, std::strlen(name));
        names.emplace_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Apollo", "Big Radio Voice", "walkie"}));

    // Creating an existing key opens it; open finds it without regard to case.
    RegKey again = nullptr;
    EXPECT_EQ(RegCreateKey(presets, "APOLLO", &again), kErrorSuccess);
    RegCloseKey(again);
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\communicator presets\\apollo", &again), kErrorSuccess);
    RegCloseKey(again);
    RegCloseKey(presets);
}

TEST_F(Win32RegistryTest, DeletingKeysAndWholeTrees) {
    RegKey root = Create("Init\\Last Deepenator Settings");
    RegCloseKey(root);
    RegKey parent = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), "Software\\Kestrum", &parent), kErrorSuccess);
    const std::string name = kTestRoot.substr(std::strlen("Software\\Kestrum\\"));

    EXPECT_NE(RegDeleteKey(parent, name), kErrorSuccess) << "a key with subkeys is not deleted alone";
    EXPECT_EQ(RegDeleteTree(parent, name), kErrorSuccess);
    RegKey gone = nullptr;
    EXPECT_EQ(RegOpenKey(parent, name, &gone), kErrorFileNotFound);
    EXPECT_EQ(RegDeleteTree(parent, name), kErrorFileNotFound);
    RegCloseKey(parent);
}

TEST_F(Win32RegistryTest, FaultHooksNameKeysByTheirPath) {
    RegKey init = Create("Init");
    RegCloseKey(init);
    platform::testing::FailRegistryOperation(RegOperation::kOpen, "Zentrix Tovana Platform Test\\Init", kErrorAccessDenied);
    RegKey key = nullptr;
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\Init", &key), kErrorAccessDenied);
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\Init", &key), kErrorSuccess) << "fires once";

    const double value = 2.0;
    RegSetValue(key, "Last Active Effect", kRegNone, &value, sizeof value);
    platform::testing::FailRegistryOperation(RegOperation::kQuerySize, "Init\\Last Active Effect", kErrorFileNotFound);
    std::uint32_t size = 0;
    EXPECT_EQ(RegQueryValueSize(key, "Last Active Effect", &size), kErrorFileNotFound);
    EXPECT_EQ(RegQueryValueSize(key, "Last Active Effect", &size), kErrorSuccess);
    EXPECT_EQ(size, 8u);
    RegCloseKey(key);
}

TEST(Win32SystemMessageTest, SystemTextsForRegistryErrors) {
    // The wording is the system's own (and Wine's differs from Windows');
    // a text comes as one line ended the Windows way, and an unknown code
    // gives nothing.
    for (long code : {kErrorFileNotFound, kErrorAccessDenied, kErrorKeyDeleted}) {
        const std::string text = SystemMessageText(code);
        ASSERT_GT(text.size(), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << code;
    }
    EXPECT_EQ(SystemMessageText(0x2FFFFFFF), "");
}

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
    const char* root = FindStringResource(1);
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root, "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana");
    EXPECT_EQ(FindStringResource(1), root) << "the text stays where it was";
    EXPECT_STREQ(FindStringResource(1029), "Last Active Effect");
    EXPECT_EQ(FindStringResource(9999), nullptr);
}

TEST(Win32ApplicationTest, TitleIsTheModulesBaseName) {
    // An application object of this program's own.
    CWinApp app;
    ASSERT_EQ(AfxGetApp(), &app);
    EXPECT_EQ(app.title(), "platform_win32_test");
}

}  // namespace
