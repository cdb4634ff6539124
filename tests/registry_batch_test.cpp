// Changes that belong together reach the file store in one step: one
// replacement of the file per batch, nothing of an abandoned one, old or
// new after a kill, and a whole set from one writer among many. And a
// store that cannot be written says why.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/portable/reg_storage.h"
#include "platform/registry.h"
#include "tests/store_fixture.h"

namespace {

namespace fs = std::filesystem;
using namespace platform;

int g_renames = 0;
int g_dieAt = 0;  // the rename before which the process dies; 0: none

void CountRename() {
    if (++g_renames == g_dieAt) _exit(42);
}

int InChild(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BatchTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        g_renames = 0;
        g_dieAt = 0;
        reg::SetBeforeRenameHook(CountRename);
        TakeRegistryProblem();
        TakeRegistryWriteProblem();
    }
    void TearDown() override {
        reg::SetBeforeRenameHook(nullptr);
        StoreFixture::TearDown();
    }

    fs::path file() const { return folder() / "registry.reg"; }

    // Nine values of one preset, each `value`; false when any call failed.
    static bool WritePreset(const std::string& name, double value) {
        RegKey key = nullptr;
        if (RegCreateKey(CurrentUserKey(), Root() + "\\Alienator Presets\\" + name, &key) != 0) return false;
        bool ok = true;
        for (int i = 0; i < 9; ++i) {
            ok = RegSetValue(key, "Value " + std::to_string(i), kRegNone, &value, 8) == 0 && ok;
        }
        RegCloseKey(key);
        return ok;
    }
    static double Read(const std::string& path, const std::string& name) {
        RegKey key = nullptr;
        double value = -1.0;
        std::uint32_t size = sizeof value;
        if (RegOpenKey(CurrentUserKey(), path, &key) != 0) return -2.0;
        if (RegQueryValue(key, name, nullptr, &value, &size) != 0) value = -3.0;
        RegCloseKey(key);
        return value;
    }
};

TEST_F(BatchTest, ABatchIsOneReplacementOfTheFileAndSeesItsOwnChanges) {
    BeginRegistryBatch();
    EXPECT_TRUE(WritePreset("One", 1.0));
    BeginRegistryBatch();
    EXPECT_TRUE(WritePreset("Two", 2.0));
    EXPECT_EQ(EndRegistryBatch(), kErrorSuccess);
    EXPECT_EQ(Read(Root() + "\\Alienator Presets\\One", "Value 8"), 1.0);
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(g_renames, 0);
    EXPECT_EQ(EndRegistryBatch(), kErrorSuccess);
    EXPECT_EQ(g_renames, 1);

    platform::SetRegistryFilePath(file().string());  // read afresh
    EXPECT_EQ(Read(Root() + "\\Alienator Presets\\Two", "Value 8"), 2.0);
    { RegistryBatch nothing; EXPECT_EQ(nothing.Commit(), kErrorSuccess); }
    EXPECT_EQ(g_renames, 1);
}

TEST_F(BatchTest, AnAbandonedBatchLeavesTheStoreAsItWas) {
    ASSERT_TRUE(WritePreset("Kept", 1.0));
    const std::string before = ReadFile(file());
    try {
        RegistryBatch batch;
        WritePreset("Kept", 5.0);
        WritePreset("Lost", 5.0);
        throw std::runtime_error("the dialog failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Read(Root() + "\\Alienator Presets\\Kept", "Value 0"), 1.0);
    EXPECT_FALSE(KeyExists(Root() + "\\Alienator Presets\\Lost"));
    EXPECT_EQ(ReadFile(file()), before);

    // An inner batch given up takes the outer one with it.
    BeginRegistryBatch();
    WritePreset("Lost", 5.0);
    BeginRegistryBatch();
    AbandonRegistryBatch();
    EXPECT_NE(EndRegistryBatch(), kErrorSuccess);
    EXPECT_FALSE(KeyExists(Root() + "\\Alienator Presets\\Lost"));
    EXPECT_EQ(ReadFile(file()), before);
}

TEST_F(BatchTest, KilledAtEveryCommitPointTheStoreIsOldOrNew) {
    platform::testing::SetRegistryFlush(true);
    // Five changes of nine values each; the fourth replaces a preset.
    const auto changes = [] {
        for (int step = 1; step <= 5; ++step) {
            RegistryBatch batch;
            if (step == 4) {
                RegKey presets = nullptr;
                RegOpenKey(CurrentUserKey(), Root() + "\\Alienator Presets", &presets);
                RegDeleteTree(presets, "Two");
                RegCloseKey(presets);
            }
            WritePreset(step == 4 ? "Two" : "P" + std::to_string(step), step);
            if (batch.Commit() != kErrorSuccess) return 1;
        }
        return 0;
    };
    const auto reset = [&] {
        fs::remove(file());
        platform::SetRegistryFilePath(file().string());
        return WritePreset("Two", 0.5);
    };

    // What the file holds before each rename of an undisturbed run.
    ASSERT_TRUE(reset());
    static std::vector<std::string> stages;
    static fs::path watched;
    stages.clear();
    watched = file();
    reg::SetBeforeRenameHook([] { stages.push_back(ReadFile(watched)); });
    ASSERT_EQ(changes(), 0);
    ASSERT_EQ(stages.size(), 5u);
    reg::SetBeforeRenameHook(CountRename);

    for (int k = 1; k <= 5; ++k) {
        ASSERT_TRUE(reset());
        ASSERT_EQ(InChild([&] {
                      g_renames = 0;
                      g_dieAt = k;
                      return changes();
                  }),
                  42);
        EXPECT_EQ(ReadFile(file()), stages[k - 1]) << "killed before commit " << k;
        platform::SetRegistryFilePath(file().string());
        EXPECT_TRUE(KeyExists(Root() + "\\Alienator Presets\\Two"));
        EXPECT_EQ(TakeRegistryProblem(), "");
    }
}

TEST_F(BatchTest, ConcurrentWritersEachLandAWholeSet) {
    constexpr int kWriters = 6;
    constexpr int kRounds = 8;
    const char* keys[] = {"Last Alienator Settings", "Last Communicator Settings", "Last Cylonator Settings"};
    // Every value of a set holds its writer and round; a reader inside a
    // batch sees one whole set.
    const auto values = [&](std::vector<double>* seen) {
        for (const char* key : keys) {
            for (int i = 0; i < 10; ++i) seen->push_back(Read(Root() + "\\Init\\" + key, "V" + std::to_string(i)));
        }
    };
    std::vector<pid_t> children;
    for (int writer = 1; writer <= kWriters; ++writer) {
        const pid_t pid = fork();
        if (pid == 0) {
            for (int round = 0; round < kRounds; ++round) {
                RegistryBatch batch;
                std::vector<double> seen;
                values(&seen);
                for (double v : seen) {
                    if (v != seen[0]) _exit(3);
                }
                const double mine = writer * 100 + round;
                for (const char* key : keys) {
                    RegKey open = nullptr;
                    if (RegCreateKey(CurrentUserKey(), Root() + "\\Init\\" + key, &open) != 0) _exit(1);
                    for (int i = 0; i < 10; ++i) {
                        RegSetValue(open, "V" + std::to_string(i), kRegNone, &mine, 8);
                    }
                    RegCloseKey(open);
                }
                if (batch.Commit() != kErrorSuccess) _exit(2);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::vector<double> seen;
    values(&seen);
    for (double v : seen) EXPECT_EQ(v, seen[0]);
    EXPECT_EQ(static_cast<int>(seen[0]) % 100, kRounds - 1);
}

TEST_F(BatchTest, AStoreThatCannotBeWrittenSaysWhy) {
    // A folder in the file's place: neither read nor written, and said so.
    fs::create_directory(file());
    RegKey key = nullptr;
    EXPECT_NE(RegCreateKey(CurrentUserKey(), "Software\\A", &key), kErrorSuccess);
    EXPECT_NE(TakeRegistryProblem().find(file().string() + " cannot be read (Is a directory)"),
              std::string::npos);
    EXPECT_NE(TakeRegistryWriteProblem().find(file().string() + " could not be changed: it cannot be read (Is a directory)"),
              std::string::npos);
    fs::remove(file());
    fs::remove(file().string() + ".lock");

    // A lock file that cannot be opened: readable, not writable, also in a batch.
    fs::create_directory(file().string() + ".lock");
    EXPECT_FALSE(KeyExists("Software"));
    EXPECT_EQ(TakeRegistryProblem(), "");
    BeginRegistryBatch();
    EXPECT_EQ(RegCreateKey(CurrentUserKey(), "Software\\A", &key), kErrorSuccess);
    RegCloseKey(key);
    EXPECT_EQ(EndRegistryBatch(), kErrorAccessDenied);
    EXPECT_NE(TakeRegistryWriteProblem().find(".lock cannot be opened (Is a directory)"), std::string::npos);
    EXPECT_FALSE(KeyExists("Software\\A"));
    fs::remove(file().string() + ".lock");

    // A write the system refuses half-way, here for the size of the file
    // as a full disk would.
    ASSERT_TRUE(WritePreset("Small", 1.0));
    const std::string before = ReadFile(file());
    EXPECT_EQ(InChild([&] {
                  signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{512, 512};
                  setrlimit(RLIMIT_FSIZE, &limit);
                  if (WritePreset("Large name that makes the file grow past its limit", 2.0)) return 1;
                  const std::string problem = TakeRegistryWriteProblem();
                  return problem.find(file().string()) != std::string::npos &&
                                 problem.find("File too large") != std::string::npos
                             ? 0
                             : 2;
              }),
              0);
    EXPECT_EQ(ReadFile(file()), before);
}

}  // namespace
