// The plug-in on a damaged or hostile store: each of its operations is one
// change of the store, a damaged file costs only what it lost, and the
// backup of a tree it resets is never written through a link.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <random>

#include "platform/portable/reg_storage.h"
#include "settings/setting_tables.h"
#include "settings/store_repair.h"
#include "tests/dialog_script.h"

namespace {

using namespace dialog_test;
namespace fs = std::filesystem;

int g_renames = 0;

class StoreDamageTest : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        g_renames = 0;
        platform::reg::SetBeforeRenameHook([] { ++g_renames; });
        platform::TakeRegistryProblem();
    }
    void TearDown() override {
        platform::reg::SetBeforeRenameHook(nullptr);
        DialogFixture::TearDown();
    }

    fs::path file() const { return folder() / "registry.reg"; }
    static std::string Preset(const std::string& name) { return Root() + "\\Alienator Presets\\" + name; }
    static void StorePreset(const std::string& name, double carrier) {
        const EffectTable& table = TableOf(EffectKind::Alienator);
        for (std::size_t i = 1; i < table.settingCount; ++i) {
            StoreDouble(Preset(name), SettingName(table.settings[i]), i == 1 ? carrier : 1.0);
        }
    }
    static void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::vector<std::string> Listed() {
        std::vector<std::string> entries;
        const DialogRun run = RunDialog({
            Look([&](const Controls& c) { entries = c.Entries(); }),
            Action::Click(platform::kIdOk, Scope::Dialog),
        });
        EXPECT_PLAYED(run);
        EXPECT_EQ(run.result, 1);
        EXPECT_TRUE(run.boxes.empty()) << run.Texts()[0];
        return entries;
    }
    static bool Has(const std::vector<std::string>& list, const std::string& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    }
};

TEST_F(StoreDamageTest, EachOperationOfTheDialogIsOneChangeOfTheStore) {
    // The first opening, a saved preset, the closing.
    DialogRun run = RunDialog(Script({SaveAs("Mine"), {Action::Click(platform::kIdOk, Scope::Dialog)}}));
    EXPECT_PLAYED(run);
    EXPECT_EQ(g_renames, 3);
    // Replacing a preset and closing with a changed setting.
    g_renames = 0;
    run = RunDialog(Script({{Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 440)},
                            SaveAs("Mine"),
                            {Action::Answer(platform::kIdYes), Action::Click(2, Scope::Dialog)}}));
    EXPECT_PLAYED(run);
    EXPECT_EQ(g_renames, 2);
    EXPECT_EQ(Stored(Preset("Mine"), "Carrier Freq"), 440.0);
}

TEST_F(StoreDamageTest, ADamagedFileCostsOnlyWhatItLost) {
    ASSERT_TRUE(Listed().size() > 0);  // the tree as a first run leaves it
    for (const char* name : {"Alpha", "Beta", "Gamma"}) StorePreset(name, name[0] == 'B' ? 200 : 300);
    const std::string whole = ReadFile(file());
    const std::size_t beta = whole.find("\\Beta]");
    const std::size_t squelch = whole.find("\"Squelch\"", beta);
    const std::size_t lineEnd = whole.find('\n', squelch);
    std::string flipped = whole;
    flipped[squelch + 19] ^= 0x55;  // the comma after the first byte of data
    std::mt19937 random(7);
    std::string noise(whole.size(), '\0');
    for (char& c : noise) c = static_cast<char>(random());

    const struct {
        const char* what;
        std::string text;
        bool alphaKept;
        bool gammaKept;
    } cases[] = {
        {"cut in a line", whole.substr(0, squelch + 20), true, false},
        {"cut at a line end", whole.substr(0, lineEnd + 1), true, false},
        {"a flipped byte", flipped, true, true},
        {"random bytes", noise, false, false},
        {"empty", "", false, false},
    };
    store::InstallRepairRules();  // as a host does before reading the store
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write(file(), c.text);
        const bool some = c.alphaKept;
        EXPECT_EQ(KeyExists(Preset("Alpha")), some);
        EXPECT_FALSE(KeyExists(Preset("Beta")));
        EXPECT_EQ(KeyExists(Preset("Gamma")), c.gammaKept);
        const std::string problem = platform::TakeRegistryProblem();
        EXPECT_NE(problem.find("could not be read whole"), std::string::npos) << problem;
        if (some) {
            EXPECT_NE(problem.find("dropped: Alienator Presets\\Beta ("), std::string::npos) << problem;
        }
        EXPECT_NE(problem.find("left as it is until the next change"), std::string::npos) << problem;
        EXPECT_EQ(ReadFile(file()), c.text);

        // The plug-in opens on what was kept, without resetting anything.
        const std::vector<std::string> listed = Listed();
        EXPECT_EQ(Has(listed, "Alpha"), some);
        EXPECT_FALSE(Has(listed, "Beta"));
        EXPECT_TRUE(Has(listed, "Computer"));
        if (some) {
            EXPECT_EQ(Stored(Preset("Alpha"), "Carrier Freq"), 300.0);
        }
        const std::string kept = platform::TakeRegistryProblem();
        const std::size_t at = kept.find("was kept as ");
        ASSERT_NE(at, std::string::npos) << kept;
        const fs::path aside = kept.substr(at + 12, kept.size() - at - 13);
        EXPECT_EQ(ReadFile(aside), c.text);
        fs::remove(aside);
        Write(file(), whole);
        platform::SetRegistryFilePath(file().string());
    }
}

TEST_F(StoreDamageTest, TheBackupOfAResetTreeIsNeverWrittenThroughALink) {
    ASSERT_EQ(Listed().size(), 6u);
    StorePreset("Mine", 440);
    RemoveValue(Last("Alienator"), "Squelch");
    const fs::path outside = folder().string() + "-outside";
    fs::create_directories(outside);
    fs::create_symlink(outside / "nothing", folder() / "tovana-registry-backup-1.reg");
    std::ofstream(outside / "victim") << "precious\n";
    fs::create_symlink(outside / "victim", folder() / "tovana-registry-backup-2.reg");

    const DialogRun run = RunDialog({});
    ASSERT_EQ(run.boxes.size(), 1u);
    const fs::path backup = folder() / "tovana-registry-backup-3.reg";
    EXPECT_NE(run.boxes[0].box.text.find(backup.string()), std::string::npos) << run.boxes[0].box.text;
    struct stat info {};
    ASSERT_EQ(lstat(backup.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(ReadFile(backup).find("\\Alienator Presets\\Mine]"), std::string::npos);
    EXPECT_FALSE(fs::exists(outside / "nothing"));
    EXPECT_EQ(ReadFile(outside / "victim"), "precious\n");
    fs::remove_all(outside);
}

}  // namespace
