// The registry store: the tree it creates, what it reads back into the
// effects' models, the value-reading rule and the recovery rule, with no
// dialog at all.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "settings/builtin_presets.h"
#include "settings/presets.h"
#include "settings/registry_backup.h"
#include "settings/registry_store.h"
#include "tests/store_fixture.h"

namespace {

struct Box {
    std::string text;
    std::string caption;
    MessageKind kind;
};

// The store on the effects' models, as the dialog holds them, with the
// dialog's handling of a thrown name: the recovery rule's messages are
// recorded instead of shown.
class FakeDialog {
public:
    FakeDialog() {
        for (int effect = 0; effect < kEffectCount; ++effect) {
            models.push_back(std::make_unique<EffectModel>(static_cast<EffectKind>(effect)));
            pointers[effect] = models.back().get();
        }
        // The dialog shows its first page before the store runs, and the
        // page's activation makes its effect's mix the working mix.
        CopyBlockMix(&TheEffectSettings().alienator.presetSelection, &TheEffectSettings().workingMix);
    }

    std::vector<std::unique_ptr<EffectModel>> models;
    EffectModel* pointers[kEffectCount] = {};
    RegistryStore store{pointers};
    RegistryStore::Restored restored;
    std::vector<Box> boxes;

    void InitRegistry() { restored = store.InitRegistry(0); }
    void SaveSettingsToRegistry() { store.SaveSettingsToRegistry(0); }
    void ReportRegistryError(const std::string& name) {
        Record(store.BeginRecovery(name));
        UserMessage failure;
        if (!store.ResetTree(&failure)) Record(failure);
    }

    // Runs an operation as the dialog does: a thrown name goes to the
    // recovery rule. Returns the name, empty when nothing was thrown.
    template <class Operation>
    std::string Run(Operation operation) {
        try {
            operation();
        } catch (const std::string& name) {
            ReportRegistryError(name);
            return name;
        }
        return {};
    }

private:
    void Record(const UserMessage& message) { boxes.push_back({message.text, message.caption, message.kind}); }
};

class RegistryStoreTest : public StoreFixture {
protected:
    static std::string Init() { return Root() + "\\Init"; }
    static std::string Last(const char* effect) { return Init() + "\\Last " + effect + " Settings"; }

    // A stored tree as the first run leaves it.
    void CreateTree() {
        FakeDialog first;
        ASSERT_EQ(first.Run([&] { first.InitRegistry(); }), "");
    }
};

TEST_F(RegistryStoreTest, FirstRunStoresEveryDefaultAndReadsNothing) {
    FakeDialog dialog;
    ASSERT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "");

    EXPECT_EQ(Stored(Init(), "Last Active Effect"), 0.0);
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const EffectTable& table = TableOf(effect);
        EXPECT_TRUE(KeyExists(Root() + "\\" + store::ResourceString(table.presetsKeyId)));
        const std::string last = Init() + "\\" + store::ResourceString(table.lastSettingsKeyId);
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            EXPECT_EQ(Stored(last, SettingName(table.settings[i])), table.settings[i].defaultValue)
                << table.name << " " << SettingName(table.settings[i]);
        }
    }
    EXPECT_TRUE(dialog.restored.firstRun);
    EXPECT_TRUE(dialog.boxes.empty());
}

TEST_F(RegistryStoreTest, LaterRunLoadsPresetsThenSettingsAndRestoresTheLastPage) {
    CreateTree();
    StoreDouble(Init(), "Last Active Effect", 2.0);
    StoreDouble(Last("Deepenator"), "Comb Delay Left", 500.0);
    StoreDouble(Last("Deepenator"), "Wet Mix", 70.0);
    StoreDouble(Last("Deepenator"), "Dry Mix", 30.0);
    StoreDouble(Last("Deepenator"), "Mix Linked", 0.0);
    StoreDouble(Last("Deepenator"), "Preset Selection", 3.0);
    StoreDouble(Last("Alienator"), "Wet Mix", 55.0);
    // A user preset, and one stored by an older version under a built-in name.
    const CommunicatorSettings radio{-1, 60, 40, 1, 3000, 300, -10, 20, -30, 5, 1, 0, 1, 0, 1};
    const BuiltInPreset* stormtrooper = FindBuiltInPreset(EffectKind::Communicator, "Stormtrooper");
    ASSERT_NE(stormtrooper, nullptr);
    for (const char* name : {"Radio", "Stormtrooper"}) {
        const std::string key = Root() + "\\Communicator Presets\\" + name;
        const EffectTable& table = TableOf(EffectKind::Communicator);
        for (std::size_t i = 1; i < table.settingCount; ++i) {
            StoreDouble(key, SettingName(table.settings[i]), BlockValue(&radio, table.settings[i]));
        }
    }

    std::memset(&TheEffectSettings(), 0, sizeof(EffectSettings));
    FakeDialog dialog;
    ASSERT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "");

    EXPECT_FALSE(dialog.restored.firstRun);
    EXPECT_EQ(dialog.restored.page, 2);
    const EffectSettings& settings = TheEffectSettings();
    EXPECT_EQ(settings.deepenator.combDelayLeft, 500.0);
    EXPECT_EQ(settings.alienator.wetMix, 55.0);
    EXPECT_EQ(settings.workingMix.wetMix, 70.0);
    EXPECT_EQ(settings.workingMix.dryMix, 30.0);
    EXPECT_EQ(settings.workingMix.mixLinked, 0.0);
    EXPECT_EQ(dialog.restored.listSelection, 3);

    const auto& communicator = dialog.models[1]->collection();
    EXPECT_EQ(communicator.size(), 6u);
    ASSERT_EQ(communicator.count("Radio"), 1u);
    const auto* loaded = static_cast<const CommunicatorSettings*>(communicator.at("Radio")->block());
    EXPECT_EQ(loaded->fullness, 3000.0);
    EXPECT_EQ(loaded->aliasing, 1.0);
    EXPECT_EQ(loaded->randomAmplitude, 0.0);
    EXPECT_EQ(loaded->voiceBleed, 1.0);
    EXPECT_EQ(loaded->wetMix, 60.0);
    // The stored preset takes the built-in's place.
    EXPECT_EQ(static_cast<const CommunicatorSettings*>(communicator.at("Stormtrooper")->block())->fullness,
              3000.0);
    EXPECT_EQ(dialog.store.m_hRootKey, nullptr);
    EXPECT_EQ(dialog.store.m_hInitKey, nullptr);
}

TEST_F(RegistryStoreTest, ValueReadingRule) {
    const std::string key = Root() + "\\Values";
    StoreDouble(key, "Eight", 2.5);
    Store(key, "Empty", nullptr, 0);
    const unsigned char bytes[16] = {};
    Store(key, "Four", bytes, 4);
    Store(key, "Sixteen", bytes, 16);

    platform::RegKey open = nullptr;
    ASSERT_EQ(platform::RegOpenKey(platform::CurrentUserKey(), key, &open), 0);
    double value = 7.0;
    store::ReadSetting(open, "Eight", &value);
    EXPECT_EQ(value, 2.5);
    store::ReadSetting(open, "Empty", &value);
    EXPECT_EQ(value, 2.5) << "an empty value leaves the setting alone";
    for (const char* name : {"Four", "Sixteen", "Missing"}) {
        try {
            store::ReadSetting(open, name, &value);
            ADD_FAILURE() << name << " was accepted";
        } catch (const std::string& thrown) {
            EXPECT_EQ(thrown, name);
        }
    }
    EXPECT_EQ(value, 2.5);
    platform::RegCloseKey(open);
}

TEST_F(RegistryStoreTest, EmptyValueKeepsTheDefaultButEmptyLastActiveEffectIsDamage) {
    CreateTree();
    Store(Last("Alienator"), "Carrier Freq", nullptr, 0);
    StoreDouble(Last("Alienator"), "Squelch", -33.0);
    FakeDialog dialog;
    ASSERT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "");
    EXPECT_EQ(TheEffectSettings().alienator.carrierFreq, 5.0);
    EXPECT_EQ(TheEffectSettings().alienator.squelch, -33.0);

    Store(Init(), "Last Active Effect", nullptr, 0);
    FakeDialog again;
    EXPECT_EQ(again.Run([&] { again.InitRegistry(); }), "Last Active Effect");
}

TEST_F(RegistryStoreTest, LastActiveEffectOutsideThePagesOpensTheFirstPage) {
    for (double stored : {4.0, -1.0, 1e300, std::numeric_limits<double>::quiet_NaN(), 3.9}) {
        CreateTree();
        StoreDouble(Init(), "Last Active Effect", stored);
        FakeDialog dialog;
        ASSERT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "") << stored;
        EXPECT_EQ(dialog.restored.page, stored == 3.9 ? 3 : 0) << stored;
    }
}

class RecoveryTest : public RegistryStoreTest {};

TEST_F(RecoveryTest, MissingValueIsReportedBackedUpAndTheTreeDeleted) {
    CreateTree();
    StoreDouble(Root() + "\\Alienator Presets\\Mine", "Carrier Freq", 440.0);
    RemoveValue(Last("Alienator"), "Squelch");

    FakeDialog dialog;
    ASSERT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "Squelch");

    ASSERT_EQ(dialog.boxes.size(), 1u);
    const Box& box = dialog.boxes[0];
    EXPECT_EQ(box.caption, "Zentrix CoolEdit Plugin Tovana: Registry Read Error");
    EXPECT_EQ(box.kind, MessageKind::Error);
    const std::string expected =
        "The plugin could not find the Squelch registry key.  All registry entries for the "
        "plugin will be reinitialized, please try launching the plugin again.  A copy of the old "
        "entries was saved to ";
    EXPECT_EQ(box.text.substr(0, expected.size()), expected);
    const std::filesystem::path backup = folder() / "tovana-registry-backup-1.reg";
    EXPECT_NE(box.text.find(backup.string()), std::string::npos) << box.text;

    EXPECT_FALSE(KeyExists(Root()));
    EXPECT_TRUE(KeyExists("Software\\Kestrum"));
    EXPECT_EQ(dialog.store.m_hRootKey, nullptr);
    EXPECT_EQ(dialog.store.m_hInitKey, nullptr);
    EXPECT_EQ(dialog.store.m_hPresetsKey, nullptr);
    EXPECT_EQ(dialog.store.m_hPresetKey, nullptr);

    const std::string text = ReadFile(backup);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\" + Root() + "\\Alienator Presets\\Mine]\n"
                        "\"Carrier Freq\"=hex(0):00,00,00,00,00,80,7b,40\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\"Last Active Effect\"=hex(0):00,00,00,00,00,00,00,00"), std::string::npos);

    // The backup reads back as a registry of its own with the user's preset.
    const std::string store = (folder() / "registry.reg").string();
    platform::SetRegistryFilePath(backup.string());
    EXPECT_EQ(Stored(Root() + "\\Alienator Presets\\Mine", "Carrier Freq"), 440.0);
    EXPECT_EQ(Stored(Last("Cylonator"), "Freq"), 10.0);
    platform::SetRegistryFilePath(store);

    // The next opening starts from the defaults.
    FakeDialog next;
    ASSERT_EQ(next.Run([&] { next.InitRegistry(); }), "");
    EXPECT_EQ(Stored(Last("Alienator"), "Squelch"), -90.0);
    EXPECT_FALSE(KeyExists(Root() + "\\Alienator Presets\\Mine"));
}

TEST_F(RecoveryTest, IncompleteUserPresetIsReportedByTheMissingValue) {
    CreateTree();
    const EffectTable& table = TableOf(EffectKind::Communicator);
    const std::string key = Root() + "\\Communicator Presets\\Half";
    for (std::size_t i = 1; i < table.settingCount; ++i) {
        if (SettingName(table.settings[i]) != "Aliasing") {
            StoreDouble(key, SettingName(table.settings[i]), 1.0);
        }
    }
    FakeDialog dialog;
    EXPECT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "Aliasing");
    EXPECT_EQ(dialog.models[1]->collection().count("Half"), 0u);
    EXPECT_FALSE(KeyExists(Root()));
}

TEST_F(RecoveryTest, FailingDeletionShowsTheSystemText) {
    CreateTree();
    RemoveValue(Last("Cylonator"), "Freq");
    platform::testing::FailRegistryOperation(platform::RegOperation::kDeleteTree, "",
                                             platform::kErrorAccessDenied);
    FakeDialog dialog;
    ASSERT_EQ(dialog.Run([&] { dialog.InitRegistry(); }), "Freq");
    ASSERT_EQ(dialog.boxes.size(), 2u);
    EXPECT_EQ(dialog.boxes[1].caption,
              "Zentrix CoolEfit Plugin Tovana: Error Reinitializing Registry");
    EXPECT_EQ(dialog.boxes[1].text, platform::SystemMessageText(platform::kErrorAccessDenied));
    EXPECT_EQ(dialog.boxes[1].kind, MessageKind::Error);
    EXPECT_TRUE(KeyExists(Root()));
}

TEST_F(RecoveryTest, FailureWhileKeysAreOpenClosesThemAndKeepsEarlierBackups) {
    CreateTree();
    platform::testing::FailRegistryOperation(platform::RegOperation::kOpen, "Last Cylonator Settings",
                                             platform::kErrorFileNotFound);
    FakeDialog dialog;
    ASSERT_EQ(dialog.Run([&] { dialog.SaveSettingsToRegistry(); }), "Last Cylonator Settings");
    EXPECT_EQ(dialog.store.m_hRootKey, nullptr);
    EXPECT_EQ(dialog.store.m_hInitKey, nullptr);
    EXPECT_FALSE(KeyExists(Root()));

    CreateTree();
    platform::testing::FailRegistryOperation(platform::RegOperation::kOpen, "Init",
                                             platform::kErrorFileNotFound);
    FakeDialog again;
    ASSERT_EQ(again.Run([&] { again.SaveSettingsToRegistry(); }), "Init");
    EXPECT_TRUE(std::filesystem::exists(folder() / "tovana-registry-backup-1.reg"));
    EXPECT_TRUE(std::filesystem::exists(folder() / "tovana-registry-backup-2.reg"));
}

TEST_F(RecoveryTest, WithoutATreeThereIsNothingToBackUp) {
    FakeDialog dialog;
    dialog.ReportRegistryError(Root());
    ASSERT_EQ(dialog.boxes.size(), 1u);
    EXPECT_NE(dialog.boxes[0].text.find("launching the plugin again.  If the problem persists"),
              std::string::npos)
        << dialog.boxes[0].text;
    EXPECT_FALSE(std::filesystem::exists(folder() / "tovana-registry-backup-1.reg"));
}

}  // namespace
