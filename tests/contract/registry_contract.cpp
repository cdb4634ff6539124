// The registry's promises, the same on every backend: this file is built
// into the Linux suite (the portable registry) and into the Windows tests
// run under Wine (the system's registry). Everything happens below a test
// key of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_faults.h"
#include "tests/contract/contract_backend.h"
#include "tests/registry_values.h"

namespace {

using namespace platform;
using namespace registry_values;

const std::string kParent = "Software\\Kestrum";
const std::string kTestName = "Zentrix Tovana Contract Test";
const std::string kTestRoot = kParent + "\\" + kTestName;

class RegistryContract : public ::testing::Test {
protected:
    void SetUp() override {
        contract::OpenTestRegistry();
        RemoveTestRoot();
    }
    void TearDown() override {
        platform::testing::ClearRegistryFaults();
        RemoveTestRoot();
        contract::CloseTestRegistry();
    }
    static void RemoveTestRoot() {
        RegKey parent = nullptr;
        if (RegOpenKey(CurrentUserKey(), kParent, &parent) != kErrorSuccess) return;
        RegDeleteTree(parent, kTestName);
        RegCloseKey(parent);
    }
    static RegKey Create(const std::string& below) {
        RegKey key = nullptr;
        EXPECT_EQ(RegCreateKey(CurrentUserKey(), kTestRoot + (below.empty() ? "" : "\\" + below), &key),
                  kErrorSuccess)
            << below;
        return key;
    }
};

TEST_F(RegistryContract, ValuesKeepTypeAndBytesAndSizeIsQueriedAlone) {
    RegKey key = Create("Init\\Last Alienator Settings");
    SetDouble(key, "Carrier Freq", 1234.5);
    const unsigned char odd[3] = {1, 2, 3};
    ASSERT_EQ(RegSetValue(key, "Odd", 3, odd, 3), kErrorSuccess);
    ASSERT_EQ(RegSetValue(key, "Empty", kRegNone, nullptr, 0), kErrorSuccess);

    std::uint32_t size = 99;
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
    EXPECT_EQ(read, 1234.5);

    // A buffer too small is left untouched and told the size needed.
    unsigned char buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    size = 2;
    EXPECT_EQ(RegQueryValue(key, "Odd", &type, buffer, &size), kErrorMoreData);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(buffer[0], 9);
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValue(key, "Odd", &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(buffer, odd, 3), 0);

    // Writing under another letter case changes the same value.
    SetDouble(key, "CARRIER FREQ", 0.25);
    EXPECT_EQ(GetDouble(key, "Carrier Freq"), 0.25);
    EXPECT_EQ(RegDeleteValue(key, "CARRIER FREQ"), kErrorSuccess);
    EXPECT_EQ(RegDeleteValue(key, "Carrier Freq"), kErrorFileNotFound);
    EXPECT_EQ(RegQueryValueSize(key, "Carrier Freq", &size), kErrorFileNotFound);
    EXPECT_EQ(RegCloseKey(key), kErrorSuccess);
}

TEST_F(RegistryContract, KeysAreFoundWithoutRegardToCaseAndListedInTheRegistrysOrder) {
    RegKey missing = nullptr;
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot, &missing), kErrorFileNotFound);
    EXPECT_EQ(missing, nullptr);

    RegKey list = Create("Communicator Presets");
    for (const char* name : {"b", "A", "c", "Ab", "AA", "Zulu"}) {
        RegKey preset = nullptr;
        ASSERT_EQ(RegCreateKey(list, name, &preset), kErrorSuccess);
        RegCloseKey(preset);
    }
    EXPECT_EQ(Subkeys(list), (std::vector<std::string>{"A", "AA", "Ab", "b", "c", "Zulu"}));

    std::uint32_t longest = 0;
    EXPECT_EQ(RegQueryMaxSubKeyLength(list, &longest), kErrorSuccess);
    EXPECT_EQ(longest, 4u);
    char name[4];
    std::uint32_t length = sizeof name;  // "Zulu" needs 5 with its NUL
    EXPECT_EQ(RegEnumKey(list, 5, name, &length), kErrorMoreData);
    length = sizeof name;
    EXPECT_EQ(RegEnumKey(list, 6, name, &length), kErrorNoMoreItems);

    // Creating an existing key opens it, keeping the name it was made with.
    RegKey again = nullptr;
    EXPECT_EQ(RegCreateKey(list, "zulu", &again), kErrorSuccess);
    RegCloseKey(again);
    EXPECT_EQ(Subkeys(list).back(), "Zulu");
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\COMMUNICATOR PRESETS\\ab", &again), kErrorSuccess);
    RegCloseKey(again);
    RegCloseKey(list);
}

TEST_F(RegistryContract, DeletingKeysAndTrees) {
    RegKey preset = Create("Alienator Presets\\Mine");
    SetDouble(preset, "Squelch", 1.0);
    RegKey parent = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), kParent, &parent), kErrorSuccess);

    // A key with subkeys cannot be deleted alone.
    EXPECT_EQ(RegDeleteKey(parent, kTestName), kErrorAccessDenied);
    EXPECT_EQ(RegDeleteKey(parent, kTestName + "\\Alienator Presets\\Mine"), kErrorSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(RegQueryValueSize(preset, "Squelch", &size), kErrorKeyDeleted);
    EXPECT_EQ(RegSetValue(preset, "Squelch", kRegNone, &size, 4), kErrorKeyDeleted);
    // A new key of the same name is another key; the old handle stays dead.
    RegCloseKey(Create("Alienator Presets\\Mine"));
    EXPECT_EQ(RegQueryValueSize(preset, "Squelch", &size), kErrorKeyDeleted);
    EXPECT_EQ(RegCloseKey(preset), kErrorSuccess);

    EXPECT_EQ(RegDeleteTree(parent, kTestName), kErrorSuccess);
    RegKey gone = nullptr;
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot, &gone), kErrorFileNotFound);
    EXPECT_EQ(gone, nullptr);
    EXPECT_EQ(RegDeleteTree(parent, kTestName), kErrorFileNotFound);
    EXPECT_EQ(RegCloseKey(parent), kErrorSuccess);
    EXPECT_EQ(RegCloseKey(parent), kErrorInvalidHandle);
}

TEST_F(RegistryContract, FaultHooksHitOnlyTheChosenTargetByItsPath) {
    RegKey alienator = Create("Init\\Last Alienator Settings");
    RegKey communicator = Create("Init\\Last Communicator Settings");
    SetDouble(alienator, "Squelch", 1.0);
    SetDouble(communicator, "Squelch", 2.0);

    platform::testing::FailRegistryOperation(RegOperation::kQuerySize, "Last Alienator Settings\\Squelch",
                                             kErrorFileNotFound);
    std::uint32_t size = 0;
    EXPECT_EQ(RegQueryValueSize(communicator, "Squelch", &size), kErrorSuccess);
    EXPECT_EQ(RegQueryValueSize(alienator, "Squelch", &size), kErrorFileNotFound);
    EXPECT_EQ(RegQueryValueSize(alienator, "Squelch", &size), kErrorSuccess) << "fires once";

    platform::testing::FailRegistryOperation(RegOperation::kOpen, kTestName + "\\Init", kErrorAccessDenied, true);
    RegKey key = nullptr;
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\Init", &key), kErrorAccessDenied);
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\INIT", &key), kErrorAccessDenied);
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\Init\\Last Alienator Settings", &key), kErrorSuccess);
    RegCloseKey(key);

    platform::testing::FailRegistryOperation(RegOperation::kDeleteTree, kTestName, kErrorAccessDenied);
    RegKey parent = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), kParent, &parent), kErrorSuccess);
    EXPECT_EQ(RegDeleteTree(parent, kTestName), kErrorAccessDenied);
    EXPECT_EQ(GetDouble(alienator, "Squelch"), 1.0) << "nothing was deleted";

    platform::testing::ClearRegistryFaults();
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), kTestRoot + "\\Init", &key), kErrorSuccess);
    RegCloseKey(key);
    for (RegKey open : {alienator, communicator, parent}) RegCloseKey(open);
}

TEST(SystemMessageContract, ALineEndedTheWindowsWayOrNothing) {
    // The wording is the system's own (and Wine's differs from Windows').
    for (long code : {kErrorFileNotFound, kErrorAccessDenied, kErrorKeyDeleted}) {
        const std::string text = SystemMessageText(code);
        ASSERT_GT(text.size(), 2u) << code;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << code;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << code;
    }
    EXPECT_EQ(SystemMessageText(0x2FFFFFFF), "");
}

}  // namespace
