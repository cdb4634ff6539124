// Every setting's range and default, written out here as the reference the
// product describes, against the setting tables and against what
// `tovana apply --set` accepts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/setup_plan.h"

namespace tovana {
namespace {

struct Row {
    const char* name;
    double minimum;
    double maximum;
    double defaultValue;
};

// In EffectKind order. Every block also begins with "Preset Selection":
// -1 or an index of the preset list, -1 by default.
const std::vector<Row> kExpected[kEffectCount] = {
    {{"Wet Mix", 0, 100, 100}, {"Dry Mix", 0, 100, 0}, {"Mix Linked", 0, 1, 1},
     {"Carrier Freq", 5, 5000, 5}, {"Squelch", -90, 0, -90}, {"Hop Freq Dev", 10, 5000, 10},
     {"Hop Period", 1, 1000, 1}, {"Hop Enabled", 0, 1, 0}, {"Smooth Enabled", 0, 1, 0}},
    {{"Wet Mix", 0, 100, 100}, {"Dry Mix", 0, 100, 0}, {"Mix Linked", 0, 1, 1},
     {"Fullness", 50, 5500, 5500}, {"Frequency", 50, 5500, 50}, {"Sensitivity", -90, 0, 0},
     {"Duration", 1, 1000, 1}, {"Squelch", -90, 0, -90}, {"Changing Static", 0, 100, 0},
     {"Changing Static Enabled", 0, 1, 0}, {"Random Breakup", 0, 1, 0}, {"Aliasing", 0, 1, 0},
     {"Random Amplitude", 0, 1, 0}, {"Voice Bleed", 0, 1, 0}},
    {{"Wet Mix", 0, 100, 100}, {"Dry Mix", 0, 100, 0}, {"Mix Linked", 0, 1, 1},
     {"Reverb Delay Left", 1, 1000, 1}, {"Reverb Power Left", 1, 100, 1}, {"Comb Delay Left", 1, 200, 1},
     {"Pitch Scale Left", -12, 12, 0}, {"Reverb Delay Right", 1, 1000, 1}, {"Reverb Power Right", 1, 100, 1},
     {"Comb Delay Right", 1, 200, 1}, {"Pitch Scale Right", -12, 12, 0},
     {"Random Pitch Scale Enabled", 0, 1, 0}, {"Random Reverb Delay Enabled", 0, 1, 0}},
    {{"Wet Mix", 0, 100, 100}, {"Dry Mix", 0, 100, 0}, {"Mix Linked", 0, 1, 1},
     {"Freq", 10, 100, 10}, {"Pitch Left", 1, 100, 1}, {"Pitch Right", 1, 100, 1},
     {"Amplitude Right", 1, 100, 1}, {"Amplitude Left", 1, 100, 1}, {"Noise Left Enabled", 0, 1, 0},
     {"Noise Right Enabled", 0, 1, 0}},
};

std::string Whole(double value) { return std::to_string(static_cast<int>(value)); }

TEST(SettingRangesTest, EveryRowInTheTablesAndThroughSet) {
    DialogState fresh;
    for (int e = 0; e < kEffectCount; ++e) WriteDefaults(fresh.settings, TableOf(e));
    for (int e = 0; e < kEffectCount; ++e) {
        const EffectTable& table = TableOf(e);
        ASSERT_EQ(table.settingCount, kExpected[e].size() + 1) << table.name;
        EXPECT_EQ(SettingName(table.settings[0]), "Preset Selection");
        EXPECT_EQ(table.settings[0].defaultValue, -1);
        for (const Row& row : kExpected[e]) {
            const std::string where = std::string(table.name) + " '" + row.name + "'";
            const SettingInfo* info = FindSetting(table, row.name);
            ASSERT_NE(info, nullptr) << where;
            EXPECT_EQ(info->minimum, row.minimum) << where;
            EXPECT_EQ(info->maximum, row.maximum) << where;
            EXPECT_EQ(info->defaultValue, row.defaultValue) << where;
            if (std::string(row.name) == "Mix Linked") continue;  // the dialog's box, no option sets it

            // Both ends are accepted, one beyond either is refused (the
            // Communicator's pairs hold at every end against the defaults).
            const std::pair<double, bool> cases[] = {
                {row.minimum, true}, {row.maximum, true}, {row.minimum - 1, false}, {row.maximum + 1, false}};
            for (const auto& [value, accepted] : cases) {
                EffectOptions options;
                options.effect = table.name;
                options.sets = {{row.name, Whole(value)}};
                SetupRequest request;
                std::string error;
                ASSERT_EQ(ValidateOptions(options, fresh, &request, &error), accepted)
                    << where << " = " << Whole(value) << ": " << error;
                if (accepted && info->control != 0) {
                    ASSERT_EQ(request.targets.size(), 1u) << where;
                    EXPECT_EQ(request.targets[0].value, value) << where;
                }
            }
        }
    }
}

}  // namespace
}  // namespace tovana
