// The settings record, its tables and the built-in presets.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/resource_tables.h"
#include "settings/builtin_presets.h"
#include "settings/setting_tables.h"

namespace {

TEST(EffectSettingsTest, IsAllZeroAtLoad) {
    const EffectSettings& settings = TheEffectSettings();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&settings);
    for (std::size_t i = 0; i < sizeof settings; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(SettingTablesTest, EveryFieldHasOneRowWithAName) {
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const EffectTable& table = TableOf(effect);
        EXPECT_EQ(static_cast<int>(table.kind), effect);
        EXPECT_EQ(table.settingCount * sizeof(double), table.blockSize);
        std::set<std::size_t> offsets;
        std::set<std::string> names;
        for (std::size_t i = 0; i < table.settingCount; ++i) {
            const SettingInfo& row = table.settings[i];
            offsets.insert(row.offset);
            names.insert(SettingName(row));
            EXPECT_FALSE(SettingName(row).empty()) << table.name << " row " << i;
            EXPECT_LE(row.minimum, row.defaultValue);
            EXPECT_LE(row.defaultValue, row.maximum);
            EXPECT_EQ(row.valueEdit != 0, row.kind == SettingKind::WholeNumber);
        }
        EXPECT_EQ(offsets.size(), table.settingCount) << table.name;
        EXPECT_EQ(names.size(), table.settingCount) << table.name;
        EXPECT_EQ(SettingName(table.settings[0]), "Preset Selection");
    }
}

TEST(SettingTablesTest, DefaultsOfEachBlock) {
    EffectSettings settings{};
    for (int effect = 0; effect < kEffectCount; ++effect) WriteDefaults(settings, TableOf(effect));
    const AlienatorSettings& a = settings.alienator;
    EXPECT_EQ(a.presetSelection, -1);
    EXPECT_EQ(a.wetMix, 100);
    EXPECT_EQ(a.dryMix, 0);
    EXPECT_EQ(a.mixLinked, 1);
    EXPECT_EQ(a.carrierFreq, 5);
    EXPECT_EQ(a.squelch, -90);
    EXPECT_EQ(a.hopFreqDev, 10);
    EXPECT_EQ(a.hopPeriod, 1);
    const CommunicatorSettings& c = settings.communicator;
    EXPECT_EQ(c.fullness, 5500);
    EXPECT_EQ(c.frequency, 50);
    EXPECT_EQ(c.sensitivity, 0);
    EXPECT_EQ(c.squelch, -90);
    EXPECT_EQ(c.duration, 1);
    const CylonatorSettings& y = settings.cylonator;
    EXPECT_EQ(y.freq, 10);
    EXPECT_EQ(y.pitchLeft, 1);
    EXPECT_EQ(y.amplitudeRight, 1);
    EXPECT_EQ(y.noiseRightEnabled, 0);
    const DeepenatorSettings& d = settings.deepenator;
    EXPECT_EQ(d.reverbDelayRight, 1);
    EXPECT_EQ(d.pitchScaleLeft, 0);
    EXPECT_EQ(d.combDelayLeft, 1);
    EXPECT_EQ(settings.workingMix.wetMix, 0);  // defaults never touch the working mix
}

TEST(SettingTablesTest, LookupByRegistryName) {
    const EffectTable& alienator = TableOf(EffectKind::Alienator);
    const SettingInfo* carrier = FindSetting(alienator, "Carrier Freq");
    ASSERT_NE(carrier, nullptr);
    EXPECT_EQ(carrier->control, IDC_ALIENATOR_CARRIER_FREQ);
    EXPECT_EQ(carrier->maximum, 5000);
    EXPECT_EQ(FindSetting(alienator, "carrier freq"), nullptr);
    const SettingInfo* squelch = FindSetting(TableOf(EffectKind::Communicator), "Squelch");
    ASSERT_NE(squelch, nullptr);
    EXPECT_EQ(squelch->nameId, static_cast<unsigned>(IDS_COMMUNICATOR_SQUELCH));
}

TEST(BuiltInPresetsTest, NamesInCreationOrderWithLinkedMix) {
    const std::vector<std::vector<std::string>> expected = {
        {"Service Droid", "Star Fighter Comm Traffic", "Secret Agent", "Bounty Hunter", "Computer",
         "AM Radio Distress"},
        {"Total Breakup", "Bad Cell Phone", "Mission Control", "Shuttle Comm", "Stormtrooper"},
        {"Dark Lord", "Gender Bender", "Monster", "Poltergeist"},
        {"Alien Whisper", "Battle Droid", "Boorg", "Sylon", "Mars Attacks!", "Turbo Fan"},
    };
    for (int effect = 0; effect < kEffectCount; ++effect) {
        const EffectTable& table = TableOf(effect);
        BuiltInPresetList list = BuiltInPresetsOf(table.kind);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < list.count; ++i) {
            names.push_back(list.presets[i].name);
            EXPECT_EQ(BlockValue(list.presets[i].block, *FindSetting(table, "Mix Linked")), 1.0);
        }
        EXPECT_EQ(names, expected[effect]);
    }
}

// A preset gives each setting but the selection and the linked flag once,
// by a name of its own effect.
TEST(BuiltInPresetsTest, EachGivesEverySettingOnce) {
    for (const EffectTable* table : kEffects) {
        for (const BuiltInPresetData& preset : table->builtInPresets) {
            std::multiset<std::string> given;
            for (const PresetValue& value : preset.values) {
                const char* text = platform::FindStringResource(value.setting);
                ASSERT_NE(text, nullptr) << preset.name;
                const SettingInfo* row = FindSetting(*table, text);
                ASSERT_NE(row, nullptr) << preset.name << ": " << text;
                EXPECT_EQ(row->nameId, value.setting) << preset.name << ": " << text;
                given.insert(text);
            }
            for (std::size_t i = 0; i < table->settingCount; ++i) {
                const std::string name = SettingName(table->settings[i]);
                const bool fixed = name == "Preset Selection" || name == "Mix Linked";
                EXPECT_EQ(given.count(name), fixed ? 0u : 1u) << table->name << " " << preset.name << ": " << name;
            }
        }
    }
}

// Every control a descriptor names is on its page, and its rules and pairs
// act on controls of the right kind.
TEST(SettingTablesTest, DescriptorControlsAreOnTheirPage) {
    for (const EffectTable* table : kEffects) {
        const platform::DialogTemplate* page = platform::FindDialogTemplate(table->pageTemplate);
        ASSERT_NE(page, nullptr) << table->name;
        auto onPage = [&](int id) {
            for (std::size_t i = 0; i < page->controlCount; ++i) {
                if (page->controls[i].id == id) return true;
            }
            return false;
        };
        for (std::size_t i = 0; i < table->settingCount; ++i) {
            const SettingInfo& row = table->settings[i];
            for (int id : {row.control, row.valueEdit}) {
                EXPECT_TRUE(id == 0 || onPage(id)) << table->name << " " << id;
            }
        }
        for (const EnablingRule& rule : table->enablingRules) {
            const SettingInfo* box = RowOfControl(*table, rule.box);
            ASSERT_NE(box, nullptr) << table->name << " " << rule.box;
            EXPECT_EQ(box->kind, SettingKind::Flag);
            for (int control : rule.controls) EXPECT_TRUE(onPage(control)) << table->name << " " << control;
        }
        // Every slider and box the page handles is one of the effect's, and
        // every box reaches its setting, on a click or from its mirror.
        const PageLayout& layout = table->page;
        auto kindOf = [&](int control) {
            const SettingInfo* row = RowOfControl(*table, control);
            EXPECT_NE(row, nullptr) << table->name << " " << control;
            return row != nullptr ? row->kind : SettingKind::ListIndex;
        };
        for (int slider : layout.sliders) EXPECT_EQ(kindOf(slider), SettingKind::WholeNumber);
        for (int box : layout.mirroredBoxes) EXPECT_EQ(kindOf(box), SettingKind::Flag);
        for (int box : layout.storedOnClick) EXPECT_EQ(kindOf(box), SettingKind::Flag);
        for (const ShowStep& step : layout.show) {
            for (int control : step.controls) {
                EXPECT_EQ(kindOf(control), step.kind == ShowStep::Edits ? SettingKind::WholeNumber
                                                                       : SettingKind::Flag);
            }
        }
        for (std::size_t i = 0; i < table->settingCount; ++i) {
            const SettingInfo& row = table->settings[i];
            if (row.kind != SettingKind::Flag || row.control == 0) continue;
            const auto& mirrored = layout.mirroredBoxes;
            const auto& clicked = layout.storedOnClick;
            EXPECT_TRUE(std::find(mirrored.begin(), mirrored.end(), row.control) != mirrored.end() ||
                        std::find(clicked.begin(), clicked.end(), row.control) != clicked.end())
                << table->name << " " << SettingName(row);
        }
        for (const SliderPair& pair : table->sliderPairs) {
            for (int slider : {pair.upper, pair.lower}) {
                const SettingInfo* row = RowOfControl(*table, slider);
                ASSERT_NE(row, nullptr) << table->name << " " << slider;
                EXPECT_EQ(row->kind, SettingKind::WholeNumber);
            }
        }
    }
}

TEST(BuiltInPresetsTest, ValuesLandInTheNamedFields) {
    auto block = [](EffectKind kind, const char* name) {
        const BuiltInPreset* preset = FindBuiltInPreset(kind, name);
        EXPECT_NE(preset, nullptr) << name;
        return preset->block;
    };
    const auto* computer = static_cast<const AlienatorSettings*>(block(EffectKind::Alienator, "Computer"));
    EXPECT_EQ(computer->carrierFreq, 400);
    EXPECT_EQ(computer->squelch, -70);
    EXPECT_EQ(computer->hopFreqDev, 300);
    EXPECT_EQ(computer->hopPeriod, 150);
    EXPECT_EQ(computer->smoothEnabled, 1);
    const auto* mission =
        static_cast<const CommunicatorSettings*>(block(EffectKind::Communicator, "Mission Control"));
    EXPECT_EQ(mission->aliasing, 1);
    EXPECT_EQ(mission->randomAmplitude, 0);
    const auto* storm =
        static_cast<const CommunicatorSettings*>(block(EffectKind::Communicator, "Stormtrooper"));
    EXPECT_EQ(storm->randomAmplitude, 1);
    EXPECT_EQ(storm->squelch, -75);
    const auto* boorg = static_cast<const CylonatorSettings*>(block(EffectKind::Cylonator, "Boorg"));
    EXPECT_EQ(boorg->pitchLeft, 10);
    EXPECT_EQ(boorg->pitchRight, 7);
    EXPECT_EQ(boorg->dryMix, 30);
    const auto* monster = static_cast<const DeepenatorSettings*>(block(EffectKind::Deepenator, "Monster"));
    EXPECT_EQ(monster->pitchScaleRight, -5);
    EXPECT_EQ(monster->randomPitchScaleEnabled, 1);
    EXPECT_EQ(FindBuiltInPreset(EffectKind::Alienator, "computer"), nullptr);
}

TEST(BuiltInPresetsTest, CommunicatorPresetsKeepTheirBounds) {
    BuiltInPresetList list = BuiltInPresetsOf(EffectKind::Communicator);
    for (std::size_t i = 0; i < list.count; ++i) {
        const auto* preset = static_cast<const CommunicatorSettings*>(list.presets[i].block);
        EXPECT_GE(preset->fullness, preset->frequency) << list.presets[i].name;
        EXPECT_GE(preset->sensitivity, preset->squelch) << list.presets[i].name;
    }
}

}  // namespace
