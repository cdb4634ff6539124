// The file store facing what others leave in its folder or its file: links
// planted where it writes, a lock file that is not its own, nesting and
// sizes beyond the registry's limits, and very wide keys.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "regfile/reg_text.h"
#include "regfile/reg_tree.h"
#include "platform/registry.h"
#include "tests/store_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

class HostileStoreTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        outside_ = folder().string() + "-outside";
        fs::remove_all(outside_);
        fs::create_directories(outside_);
        TakeRegistryProblem();
        TakeRegistryWriteProblem();
    }
    void TearDown() override {
        StoreFixture::TearDown();
        fs::remove_all(outside_);
    }

    fs::path file() const { return folder() / "registry.reg"; }
    static void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static long CreateKey(const std::string& path) {
        RegKey key = nullptr;
        const long error = RegCreateKey(CurrentUserKey(), path, &key);
        if (key != nullptr) RegCloseKey(key);
        return error;
    }

    fs::path outside_;
};

TEST_F(HostileStoreTest, PlantedLinksAreNeitherFollowedNorWrittenThrough) {
    const fs::path victim = outside_ / "victim";
    Write(victim, "precious\n");
    const fs::path lock = file().string() + ".lock";

    // A lock file that is a link, or a second name of someone's file.
    fs::create_symlink(victim, lock);
    EXPECT_NE(CreateKey("Software\\A"), kErrorSuccess);
    std::string problem = TakeRegistryWriteProblem();
    EXPECT_NE(problem.find(lock.string() + " is a symbolic link"), std::string::npos) << problem;
    fs::remove(lock);
    fs::create_hard_link(victim, lock);
    EXPECT_NE(CreateKey("Software\\A"), kErrorSuccess);
    problem = TakeRegistryWriteProblem();
    EXPECT_NE(problem.find("is not a plain file of this user's own"), std::string::npos) << problem;
    fs::remove(lock);
    EXPECT_EQ(ReadFile(victim), "precious\n");
    EXPECT_FALSE(fs::exists(file()));

    // A temporary file that is a link, to something or to nothing.
    fs::create_symlink(victim, file().string() + ".tmp");
    EXPECT_EQ(CreateKey("Software\\A"), kErrorSuccess);
    fs::create_symlink(outside_ / "made", file().string() + ".tmp");
    EXPECT_EQ(CreateKey("Software\\B"), kErrorSuccess);
    EXPECT_FALSE(fs::exists(outside_ / "made"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file())));

    // Every name the damaged file could be kept under, taken by links.
    const std::string damaged =
        kHeader + "[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"x\"=hex:zz\n\n";
    Write(file(), damaged);
    EXPECT_TRUE(KeyExists("Software"));
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now - 2; t < now + 30; ++t) {
        std::tm utc{};
        gmtime_r(&t, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
        fs::create_symlink(victim, file().string() + ".damaged-" + stamp);
    }
    TakeRegistryProblem();
    EXPECT_EQ(CreateKey("Software\\C"), kErrorSuccess);
    problem = TakeRegistryProblem();
    const std::size_t at = problem.find("was kept as ");
    ASSERT_NE(at, std::string::npos) << problem;
    const fs::path kept = problem.substr(at + 12, problem.size() - at - 13);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(kept))) << kept;
    EXPECT_EQ(ReadFile(kept), damaged);
    EXPECT_EQ(ReadFile(victim), "precious\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside_), fs::directory_iterator()), 1);
}

TEST_F(HostileStoreTest, AStoreFileThatIsALinkStaysALink) {
    const fs::path dotfiles = outside_ / "dotfiles";
    fs::create_directories(dotfiles);
    const fs::path real = dotfiles / "registry.reg";
    Write(real, kHeader);
    fs::create_symlink(fs::relative(real, folder()), file());
    StoreDouble("Software\\Kestrum", "Wet Mix", 0.5);
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_NE(ReadFile(real).find("[HKEY_CURRENT_USER\\Software\\Kestrum]\n\"Wet Mix\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dotfiles / "registry.reg.tmp"));

    // A link to a file not made yet: the file is made where it points.
    fs::remove(real);
    StoreDouble("Software\\Kestrum", "Dry Mix", 0.25);
    EXPECT_TRUE(fs::is_symlink(file()));
    ASSERT_TRUE(fs::is_regular_file(real));
    platform::SetRegistryFilePath(file().string());  // read afresh
    EXPECT_EQ(Stored("Software\\Kestrum", "Dry Mix"), 0.25);
}

TEST_F(HostileStoreTest, UpperCaseHexAndKeywordsRead) {
    Write(file(), kHeader +
                      "[HKEY_CURRENT_USER\\Software\\Kestrum]\n"
                      "\"Wet Mix\"=HEX(0):00,00,00,00,00,00,F0,3F\n"
                      "\"Dry Mix\"=hex(0):00,00,00,00,00,00,E0,Bf\n"
                      "\"Count\"=DWORD:0000ABCD\n\n");
    EXPECT_EQ(Stored("Software\\Kestrum", "Wet Mix"), 1.0);
    EXPECT_EQ(Stored("Software\\Kestrum", "Dry Mix"), -0.5);
    RegKey key = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), "Software\\Kestrum", &key), kErrorSuccess);
    std::uint32_t count = 0;
    std::uint32_t size = sizeof count;
    EXPECT_EQ(RegQueryValue(key, "Count", nullptr, &count, &size), kErrorSuccess);
    EXPECT_EQ(count, 0xABCDu);
    RegCloseKey(key);
    EXPECT_EQ(TakeRegistryProblem(), "");
}

TEST_F(HostileStoreTest, LimitsAreKeptByTheCallsAndTheFile) {
    std::string deep = "Software";
    for (std::size_t level = 1; level < regfile::kMaxKeyDepth; ++level) deep += "\\k";
    EXPECT_EQ(CreateKey(deep), kErrorSuccess);
    EXPECT_EQ(CreateKey(deep + "\\k"), kErrorInvalidParameter);
    RegKey key = nullptr;
    ASSERT_EQ(RegCreateKey(CurrentUserKey(), "Software\\Values", &key), kErrorSuccess);
    const std::vector<unsigned char> big(regfile::kMaxValueBytes + 1);
    EXPECT_EQ(RegSetValue(key, std::string(16383, 'v'), kRegNone, big.data(), 8), kErrorSuccess);
    EXPECT_EQ(RegSetValue(key, std::string(16384, 'v'), kRegNone, big.data(), 8),
              kErrorInvalidParameter);
    EXPECT_EQ(RegSetValue(key, "Big", kRegNone, big.data(), static_cast<std::uint32_t>(big.size())),
              kErrorInvalidParameter);
    RegCloseKey(key);
    platform::SetRegistryFilePath(file().string());
    EXPECT_TRUE(KeyExists(deep));  // what the calls stored, the file reads back
    EXPECT_EQ(TakeRegistryProblem(), "");

    const std::string section = "[HKEY_CURRENT_USER\\Software\\Kestrum]\n";
    std::string hexData = "\"Big\"=hex:00";
    for (std::size_t i = 0; i < regfile::kMaxValueBytes; ++i) hexData += ",00";
    const struct {
        std::string text;
        std::string reason;
    } cases[] = {
        {"[" + std::string("HKEY_CURRENT_USER\\") + deep + "\\k\\k]\n",
         "line 3: the key path is deeper than 512 levels"},
        {"[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n", "line 3: key name too long"},
        {section + "\"" + std::string(16384, 'v') + "\"=dword:00000001\n", "line 4: value name too long"},
        {section + hexData + "\n", "line 4: value data larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        regfile::Key top;
        std::string reason;
        EXPECT_FALSE(regfile::ParseRegFile(kHeader + c.text + "\n", &top, &reason));
        EXPECT_EQ(reason, c.reason);
    }
    regfile::Key top;
    std::string reason;
    EXPECT_FALSE(regfile::ParseRegFile(std::string(regfile::kMaxFileBytes + 1, '\n'), &top, &reason));
    EXPECT_EQ(reason, "it is larger than 64 MiB");
}

TEST_F(HostileStoreTest, AKeyTwoHundredThousandLevelsDeepIsRefusedWithoutCrashing) {
    std::string path = "HKEY_CURRENT_USER\\Software";
    for (int level = 0; level < 200000; ++level) path += "\\k";
    const std::string text = kHeader + "[" + path + "]\n\n[HKEY_CURRENT_USER\\Software\\Kept]\n\n";
    regfile::Key parsed;
    std::string reason;
    EXPECT_FALSE(regfile::ParseRegFile(text, &parsed, &reason));
    EXPECT_EQ(reason, "line 3: the key path is deeper than 512 levels");

    // In the store, the section is left out and the rest is read.
    Write(file(), text);
    EXPECT_TRUE(KeyExists("Software\\Kept"));
    EXPECT_FALSE(KeyExists("Software\\k"));
    EXPECT_NE(TakeRegistryProblem().find("deeper than 512 levels"), std::string::npos);

    // A tree that deep, however it came about, goes without recursion.
    regfile::Key top;
    regfile::Key* key = &top;
    for (int level = 0; level < 200000; ++level) key = key->AddSubkey("k");
    regfile::Key moved = std::move(top);
    moved = regfile::Key();
}

TEST_F(HostileStoreTest, AHundredThousandValuesReadInLinearTime) {
    // One name scan per value would take minutes here.
    std::string text = kHeader + "[HKEY_CURRENT_USER\\Software\\Wide]\n";
    for (int i = 0; i < 100000; ++i) {
        text += "\"Value " + std::to_string(i) + "\"=hex(0):00,00,00,00,00,00,f0,3f\n";
    }
    text += "\"VALUE 7\"=hex(0):00,00,00,00,00,00,00,40\n\n";
    regfile::Key top;
    std::string reason;
    ASSERT_TRUE(regfile::ParseRegFile(text, &top, &reason)) << reason;
    const regfile::Key* wide = top.FindSubkey("HKEY_CURRENT_USER")->FindSubkey("Software")->FindSubkey("Wide");
    ASSERT_EQ(wide->Values().size(), 100000u);
    EXPECT_EQ(wide->Values().front().name, "Value 0");
    EXPECT_EQ(wide->Values().back().name, "Value 99999");
    EXPECT_EQ(std::next(wide->Values().begin(), 7)->data.back(), 0x40);  // kept its place

    Write(file(), text);
    EXPECT_EQ(Stored("Software\\Wide", "value 99999"), 1.0);
}

}  // namespace
