// The registry without Windows: what only the portable registry does (the
// file it lives in, several processes sharing that file, names beyond
// ASCII, the checks of paths). The promises every backend keeps are in
// tests/contract/registry_contract.cpp.
#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/portable/reg_storage.h"
#include "tests/registry_values.h"

namespace {

using namespace platform;
using namespace registry_values;
namespace fs = std::filesystem;

const std::string kRoot = "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs `body` in a child process and returns its exit status.
int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovana-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        file_ = dir_ / "registry.reg";
        SetRegistryFilePath(file_.string());
        TakeRegistryProblem();
    }
    void TearDown() override {
        platform::testing::ClearRegistryFaults();
        platform::testing::SetRegistryFlush(true);
        SetRegistryFilePath("");
        fs::remove_all(dir_);
    }

    RegKey Create(const std::string& path) {
        RegKey key = nullptr;
        EXPECT_EQ(RegCreateKey(CurrentUserKey(), path, &key), kErrorSuccess) << path;
        return key;
    }

    fs::path dir_;
    fs::path file_;
};

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirCase) {
    RegKey created = Create(kRoot + "\\Communicator Presets\\Été Radio");
    RegKey opened = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(),
                         "SOFTWARE\\kestrum\\zentrix cooledit plugin tovana\\"
                         "COMMUNICATOR PRESETS\\éTÉ RADIO",
                         &opened),
              kErrorSuccess);
    SetDouble(created, "Wet Mix", 0.5);
    SetDouble(opened, "WET MIX", 0.25);  // the same value, keeping its first name
    EXPECT_EQ(GetDouble(created, "wet mix"), 0.25);

    RegKey again = Create(kRoot + "\\communicator presets\\ÉTÉ radio");
    RegKey presets = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), kRoot + "\\Communicator Presets", &presets),
              kErrorSuccess);
    EXPECT_EQ(Subkeys(presets), std::vector<std::string>{"Été Radio"});
    const std::string text = ReadFile(file_);
    EXPECT_NE(text.find("\\Communicator Presets\\Été Radio]\n\"Wet Mix\"=hex(0):"),
              std::string::npos);
    for (RegKey key : {created, opened, again, presets}) EXPECT_EQ(RegCloseKey(key), kErrorSuccess);
}

// As Windows compares names: upper-cased, so '_' (after 'Z') sorts after
// the letters (Wine's registry lower-cases and puts it before them).
TEST_F(RegistryTest, EnumeratesUpperCasedNamesInOrder) {
    for (const char* name : {"b", "a_b", "AB"}) RegCloseKey(Create("Software\\List\\" + std::string(name)));
    RegKey list = Create("Software\\List");
    EXPECT_EQ(Subkeys(list), (std::vector<std::string>{"AB", "a_b", "b"}));
    RegCloseKey(list);
}

TEST_F(RegistryTest, PathsAndHandlesAreChecked) {
    RegKey key = nullptr;
    EXPECT_EQ(RegCreateKey(CurrentUserKey(), "Software\\\\Twice", &key), kErrorBadPathname);
    EXPECT_EQ(RegCreateKey(CurrentUserKey(), "\\Software", &key), kErrorBadPathname);
    EXPECT_EQ(RegCreateKey(CurrentUserKey(), "Software\\Line\nBreak", &key),
              kErrorInvalidParameter);
    EXPECT_EQ(RegCreateKey(CurrentUserKey(), std::string("Software\\Nul\0Byte", 17), &key),
              kErrorInvalidParameter);
    EXPECT_EQ(RegSetValue(CurrentUserKey(), std::string("a\0b", 3), kRegNone, "", 0),
              kErrorInvalidParameter);
    EXPECT_EQ(RegCreateKey(CurrentUserKey(), "Software\\" + std::string(256, 'x'), &key),
              kErrorInvalidParameter);
    EXPECT_EQ(RegOpenKey(CurrentUserKey(), "Software\\Nothing", &key), kErrorFileNotFound);
    int notAKey = 0;
    EXPECT_EQ(RegOpenKey(&notAKey, "Software", &key), kErrorInvalidHandle);
    EXPECT_EQ(RegCloseKey(nullptr), kErrorInvalidHandle);
    // Not even the whole hive's subkeys go at once.
    EXPECT_EQ(RegDeleteTree(CurrentUserKey(), ""), kErrorAccessDenied);
    EXPECT_FALSE(fs::exists(file_));  // nothing was stored
}

TEST_F(RegistryTest, ChangesPersistAcrossProcesses) {
    ASSERT_EQ(
        InChild([&] {
            RegKey key = nullptr;
            if (RegCreateKey(CurrentUserKey(), kRoot + "\\Init", &key) != kErrorSuccess) return 1;
            const double value = 2.0;
            return RegSetValue(key, "Last Active Effect", kRegNone, &value, 8) == kErrorSuccess ? 0
                                                                                                : 2;
        }),
        0);
    RegKey init = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), kRoot + "\\Init", &init), kErrorSuccess);
    EXPECT_EQ(GetDouble(init, "Last Active Effect"), 2.0);

    // A handle open here sees another process's change and deletion.
    ASSERT_EQ(
        InChild([&] {
            RegKey key = nullptr;
            RegOpenKey(CurrentUserKey(), kRoot + "\\Init", &key);
            const double value = 3.0;
            return RegSetValue(key, "Last Active Effect", kRegNone, &value, 8) == kErrorSuccess ? 0
                                                                                                : 1;
        }),
        0);
    EXPECT_EQ(GetDouble(init, "Last Active Effect"), 3.0);
    ASSERT_EQ(
        InChild([&] { return static_cast<int>(RegDeleteTree(CurrentUserKey(), "Software")); }), 0);
    std::uint32_t size = 0;
    EXPECT_EQ(RegQueryValueSize(init, "Last Active Effect", &size), kErrorKeyDeleted);
    RegCloseKey(init);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    platform::testing::SetRegistryFlush(false);  // the lock is under test, not the disk
    RegCloseKey(Create("Software\\Shared"));
    const auto writer = [&](const char* prefix) {
        return [&, prefix] {
            RegKey key = nullptr;
            if (RegOpenKey(CurrentUserKey(), "Software\\Shared", &key) != kErrorSuccess) return 1;
            for (int i = 0; i < 50; ++i) {
                const double value = i;
                const std::string name = prefix + std::to_string(i);
                if (RegSetValue(key, name, kRegNone, &value, 8) != kErrorSuccess) return 2;
                RegCloseKey(Create(std::string("Software\\Shared\\") + prefix + std::to_string(i)));
            }
            return 0;
        };
    };
    const pid_t first = fork();
    if (first == 0) _exit(writer("left ")());
    const pid_t second = fork();
    if (second == 0) _exit(writer("right ")());
    for (pid_t pid : {first, second}) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    RegKey shared = Create("Software\\Shared");
    for (const char* prefix : {"left ", "right "}) {
        for (int i = 0; i < 50; ++i) EXPECT_EQ(GetDouble(shared, prefix + std::to_string(i)), i);
    }
    EXPECT_EQ(Subkeys(shared).size(), 100u);
    RegCloseKey(shared);
}

TEST_F(RegistryTest, DamagedFileStaysUntilTheNextChangeThenIsKeptAside) {
    RegCloseKey(Create(kRoot));
    for (const std::string& damage :
         {std::string("not a registry file\n"),
          std::string("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_CURRENT_USER\\Software]\n\"A\"=hex(0):00,zz\n"),
          std::string("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_NOWHERE\\Software]\n"),
          std::string("Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_CURRENT_USER\\Software]\n\"A\"=hex(0):00,\\"),
          std::string("\0\0\0", 3)}) {
        WriteFile(file_, damage);
        RegKey key = nullptr;
        EXPECT_EQ(RegOpenKey(CurrentUserKey(), "Software", &key), kErrorFileNotFound);
        const std::string problem = TakeRegistryProblem();
        EXPECT_NE(problem.find(file_.string()), std::string::npos) << problem;
        EXPECT_NE(problem.find("left as it is until the next change"), std::string::npos) << problem;
        EXPECT_EQ(TakeRegistryProblem(), "");
        EXPECT_EQ(ReadFile(file_), damage);  // reading moves nothing

        RegCloseKey(Create(kRoot));  // the store starts again
        std::vector<fs::path> aside;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            if (entry.path().filename().string().rfind("registry.reg.damaged-", 0) == 0)
                aside.push_back(entry.path());
        }
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_NE(TakeRegistryProblem().find("was kept as " + aside[0].string()), std::string::npos);
        EXPECT_EQ(ReadFile(aside[0]), damage);
        EXPECT_EQ(ReadFile(file_).rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
        fs::remove(aside[0]);
    }
}

TEST_F(RegistryTest, CrashBeforeRenameLeavesTheOldFile) {
    RegKey init = Create(kRoot + "\\Init");
    SetDouble(init, "Last Active Effect", 1.0);
    const std::string before = ReadFile(file_);
    ASSERT_EQ(InChild([&] {
                  reg::SetBeforeRenameHook([] { _exit(42); });
                  SetDouble(init, "Last Active Effect", 3.0);
                  return 0;
              }),
              42);
    EXPECT_EQ(ReadFile(file_), before);
    EXPECT_TRUE(fs::exists(file_.string() + ".tmp"));
    EXPECT_EQ(GetDouble(init, "Last Active Effect"), 1.0);
    SetDouble(init, "Last Active Effect", 2.0);  // the leftover is replaced, not in the way
    EXPECT_FALSE(fs::exists(file_.string() + ".tmp"));
    EXPECT_EQ(GetDouble(init, "Last Active Effect"), 2.0);
    RegCloseKey(init);
}

TEST_F(RegistryTest, WritesTheExportFormat) {
    RegKey preset = Create("Software\\Kestrum\\Say \"hi\"\\A]");
    SetDouble(preset, "Carrier Freq", 1.0);
    SetDouble(preset, "C:\\path \"quoted\"", -2.0);
    const std::vector<unsigned char> longData(30, 0xab);
    ASSERT_EQ(RegSetValue(preset, "Long", kRegNone, longData.data(), 30), kErrorSuccess);
    ASSERT_EQ(RegSetValue(preset, "", 1, "x\\y", 4), kErrorSuccess);
    const std::uint32_t dword = 0x1234abcd;
    ASSERT_EQ(RegSetValue(preset, "Count", 4, &dword, 4), kErrorSuccess);
    RegCloseKey(preset);
    EXPECT_EQ(ReadFile(file_),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Kestrum]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Kestrum\\Say \"hi\"]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Kestrum\\Say \"hi\"\\A]]\n"
              "\"Carrier Freq\"=hex(0):00,00,00,00,00,00,f0,3f\n"
              "\"C:\\\\path \\\"quoted\\\"\"=hex(0):00,00,00,00,00,00,00,c0\n"
              "\"Long\"=hex(0):ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\n"
              "  ab,ab,ab,ab,ab,ab,ab,ab,ab\n"
              "@=\"x\\\\y\"\n"
              "\"Count\"=dword:1234abcd\n"
              "\n");
}

TEST_F(RegistryTest, ReadsWhatTheWindowsEditorExports) {
    // UTF-16LE with its byte-order mark and CRLF, as the Windows editor
    // writes it, with a comment, wrapped data and a non-ASCII preset name.
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"; carried over from Windows\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\Communicator "
        u"Presets\\Bühne \"A\"]\r\n"
        u"\"Wet Mix\"=hex(0):00,00,00,00,00,00,e0,3f\r\n"
        u"\"Odd \\\\ \\\"Name\\\"\"=hex(0):00,00,00,00,\\\r\n"
        u"  00,00,f0,bf\r\n"
        u"@=\"default\"\r\n"
        u"\"Flag\"=dword:00000001\r\n"
        u"\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        u"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    WriteFile(file_, bytes);
    RegKey preset = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), kRoot + "\\Communicator Presets\\BÜHNE \"a\"", &preset),
              kErrorSuccess)
        << TakeRegistryProblem();
    EXPECT_EQ(GetDouble(preset, "Wet Mix"), 0.5);
    EXPECT_EQ(GetDouble(preset, "Odd \\ \"Name\""), -1.0);
    char text8[16] = {};
    std::uint32_t size = sizeof text8;
    std::uint32_t type = 0;
    EXPECT_EQ(RegQueryValue(preset, "", &type, text8, &size), kErrorSuccess);
    EXPECT_EQ(type, 1u);
    EXPECT_EQ(std::string(text8, size), std::string("default", 8));
    size = sizeof text8;
    EXPECT_EQ(RegQueryValue(preset, "Path", &type, text8, &size), kErrorSuccess);
    EXPECT_EQ(std::string(text8, size), std::string("%A%", 4));
    std::uint32_t flag = 0;
    size = 4;
    EXPECT_EQ(RegQueryValue(preset, "Flag", &type, &flag, &size), kErrorSuccess);
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(TakeRegistryProblem(), "");

    // Written back in UTF-8, it reads the same.
    SetDouble(preset, "Aliasing", 0.0);
    const std::string written = ReadFile(file_);
    EXPECT_NE(written.find("\\Bühne \"A\"]\n\"Wet Mix\"=hex(0):00,00,00,00,00,00,e0,3f\n"),
              std::string::npos);
    EXPECT_NE(written.find("\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"), std::string::npos);
    RegCloseKey(preset);
}

TEST_F(RegistryTest, EveryTypeComesBackFromTheFile) {
    struct Case {
        const char* name;
        std::uint32_t type;
        std::string data;
    };
    const std::vector<Case> cases = {
        {"plain", 1, std::string("Stormtrooper\0", 13)},
        {"two lines", 1, std::string("a\r\nb\0", 5)},
        {"unterminated", 1, "abc"},
        {"expand", 2, std::string("%TEMP%\\Größe\0", 15)},
        {"binary", 3, std::string("\0\x01\xff", 3)},
        {"dword", 4, std::string("\x78\x56\x34\x12", 4)},
        {"short dword", 4, std::string("\x01\x02", 2)},
        {"multi", 7, std::string("one\0two\0\0", 9)},
        {"qword", 11, std::string("\x01\0\0\0\0\0\0\x80", 8)},
        {"empty", kRegNone, ""},
        {"odd type", 0x12345, "xyz"},
    };
    RegKey key = Create("Software\\Types");
    for (const Case& c : cases) {
        ASSERT_EQ(RegSetValue(key, c.name, c.type, c.data.data(),
                              static_cast<std::uint32_t>(c.data.size())),
                  kErrorSuccess);
    }
    SetRegistryFilePath(file_.string());  // forget what this process knows
    for (const Case& c : cases) {
        char buffer[32] = {};
        std::uint32_t size = sizeof buffer;
        std::uint32_t type = 99;
        ASSERT_EQ(RegQueryValue(key, c.name, &type, buffer, &size), kErrorSuccess) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(std::string(buffer, size), c.data) << c.name;
    }
    const std::string text = ReadFile(file_);
    EXPECT_NE(text.find("\"plain\"=\"Stormtrooper\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"dword\"=dword:12345678\n"), std::string::npos);
    EXPECT_NE(text.find("\"multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,6f,00,00,00,00,00\n"),
              std::string::npos);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ImportAppliesDeletionsAndTheOlderHeader) {
    WriteFile(file_,
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software\\Keep]\n"
              "\"Gone\"=dword:00000001\n"
              "\"Stays\"=hex(2):41,42,00\n"
              "[HKEY_CURRENT_USER\\Software\\Drop\\Deep]\n"
              "[-HKEY_CURRENT_USER\\Software\\Drop]\n"
              "\"Ignored\"=dword:00000002\n"
              "[HKEY_CURRENT_USER\\Software\\Keep]\n"
              "\"Gone\"=-\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
              "\"Kept\"=dword:00000003\n");
    RegKey software = nullptr;
    ASSERT_EQ(RegOpenKey(CurrentUserKey(), "Software", &software), kErrorSuccess)
        << TakeRegistryProblem();
    EXPECT_EQ(Subkeys(software), std::vector<std::string>{"Keep"});
    RegKey keep = Create("Software\\Keep");
    std::uint32_t size = 0;
    EXPECT_EQ(RegQueryValueSize(keep, "Gone", &size), kErrorFileNotFound);
    char buffer[8] = {};
    size = sizeof buffer;
    EXPECT_EQ(RegQueryValue(keep, "Stays", nullptr, buffer, &size), kErrorSuccess);
    EXPECT_EQ(std::string(buffer, size), std::string("AB", 3));  // narrow text in the older format

    // Keys of other hives are nobody's business here, but survive a write.
    SetDouble(keep, "New", 1.0);
    EXPECT_NE(ReadFile(file_).find("[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"Kept\"=dword:00000003\n"),
              std::string::npos);
    RegCloseKey(keep);
    RegCloseKey(software);
}

TEST(RegistryLocationTest, OverrideThenEnvironmentThenConfigFolder) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = config != nullptr ? config : "";
    SetRegistryFilePath("");
    setenv("XDG_CONFIG_HOME", "/nowhere/config", 1);
    setenv(kRegistryEnvironmentVariable, "/nowhere/else.reg", 1);
    EXPECT_EQ(RegistryFilePath(), "/nowhere/else.reg");
    unsetenv(kRegistryEnvironmentVariable);
    EXPECT_EQ(RegistryFilePath(), "/nowhere/config/zentrix-tovana/registry.reg");
    SetRegistryFilePath("/nowhere/set.reg");
    EXPECT_EQ(RegistryFilePath(), "/nowhere/set.reg");
    SetRegistryFilePath("");
    if (config != nullptr) {
        setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(SystemMessageTest, WindowsTextsWithTheirLineEnd) {
    EXPECT_EQ(SystemMessageText(2), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(SystemMessageText(5), "Access is denied.\r\n");
    EXPECT_EQ(
        SystemMessageText(1018),
        "Illegal operation attempted on a registry key that has been marked for deletion.\r\n");
    EXPECT_EQ(SystemMessageText(123456), "");
}

}  // namespace
