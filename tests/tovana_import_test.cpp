// What `tovana presets import` accepts from a file, checked without a store.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tools/preset_import.h"

namespace tovana {
namespace {

const char kRoot[] = "[HKEY_CURRENT_USER\\Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana\\";

std::string Hex(double value) {
    unsigned char bytes[8];
    std::memcpy(bytes, &value, 8);
    std::string text = "hex(0):";
    for (int i = 0; i < 8; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", bytes[i]);
        text += byte;
    }
    return text;
}

// One Alienator preset section; `changed` replaces (or, with an empty
// value, leaves out) one of its values.
std::string Alienator(const std::string& name, const std::string& changed = "", const std::string& value = "x") {
    const std::pair<const char*, double> values[] = {{"Carrier Freq", 440}, {"Squelch", -60}, {"Wet Mix", 80},
                                                     {"Dry Mix", 20},       {"Mix Linked", 1}, {"Hop Freq Dev", 100},
                                                     {"Hop Period", 50},    {"Hop Enabled", 1}, {"Smooth Enabled", 0}};
    std::string text = std::string(kRoot) + "Alienator Presets\\" + name + "]\n";
    for (const auto& [setting, number] : values) {
        if (setting != changed) {
            text += "\"" + std::string(setting) + "\"=" + Hex(number) + "\n";
        } else if (!value.empty()) {
            text += "\"" + std::string(setting) + "\"=" + value + "\n";
        }
    }
    return text + "\n";
}

class TovanaImportFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tovana-import-XXXXXX";
        const int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        file_ = pattern;
    }
    void TearDown() override { std::remove(file_.c_str()); }

    void Write(const std::string& bytes) { std::ofstream(file_, std::ios::binary | std::ios::trunc) << bytes; }

    std::string file_;
};

TEST_F(TovanaImportFile, EveryUnusablePresetIsNamedWithItsLine) {
    std::string text = "Windows Registry Editor Version 5.00\n\n" + Alienator("Fine");  // lines 3 to 13
    text += Alienator("Two\rLines");                                                    // 14
    text += Alienator("Escape\x1b[2J");                                                 // 25
    text += Alienator("Computer");                                                      // 36
    text += Alienator("Missing", "Squelch", "");                                        // 47
    text += Alienator("Short", "Squelch", "hex(0):00,00");                              // 57
    text += Alienator("NotANumber", "Carrier Freq", Hex(std::nan("")));                 // 68
    text += Alienator("Endless", "Hop Period", Hex(HUGE_VAL));                          // 79
    text += Alienator("TooHigh", "Carrier Freq", Hex(9000));                            // 90
    text += Alienator("BelowZero", "Hop Enabled", Hex(-1));                             // 101
    text += std::string(kRoot) + "Communicator Presets\\Upside Down]\n";                // 112
    const std::pair<const char*, double> communicator[] = {
        {"Wet Mix", 100},        {"Dry Mix", 0},          {"Mix Linked", 1},     {"Fullness", 400},
        {"Frequency", 900},      {"Sensitivity", -20},    {"Duration", 50},      {"Squelch", -40},
        {"Changing Static", 0},  {"Changing Static Enabled", 0}, {"Random Breakup", 0}, {"Random Amplitude", 0},
        {"Voice Bleed", 0},      {"Aliasing", 0}};
    for (const auto& [name, value] : communicator) text += "\"" + std::string(name) + "\"=" + Hex(value) + "\n";
    // Saved by the registry editor: UTF-16 with CR LF.
    std::string wide = "\xFF\xFE";
    for (char c : text) {
        if (c == '\n') wide += std::string("\r\0", 2);
        wide += c;
        wide += '\0';
    }
    Write(wide);

    std::vector<IncomingPreset> presets;
    std::vector<std::string> problems;
    EXPECT_FALSE(ReadPresetFile(file_, &presets, &problems));
    const std::vector<std::string> expected = {
        " line 14: the Alienator preset 'Two\rLines' has a control character in its name",
        " line 25: the Alienator preset 'Escape\x1b[2J' has a control character in its name",
        " line 36: the Alienator preset 'Computer' has the name of a built-in preset",
        " line 47: the Alienator preset 'Missing' has no value 'Squelch'",
        " line 57: the Alienator preset 'Short' has a damaged value 'Squelch' (2 bytes, not 8)",
        " line 68: the Alienator preset 'NotANumber' has no number for 'Carrier Freq' (nan)",
        " line 79: the Alienator preset 'Endless' has no number for 'Hop Period' (inf)",
        " line 90: the Alienator preset 'TooHigh' has 'Carrier Freq' = 9000, outside 5 to 5000",
        " line 101: the Alienator preset 'BelowZero' has 'Hop Enabled' = -1, outside 0 to 1",
        " line 112: the Communicator preset 'Upside Down' 'Fullness' (400) is below 'Frequency' (900)",
    };
    ASSERT_EQ(problems.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(problems[i], file_ + expected[i]);

    // Past the limit the rest are counted.
    problems.clear();
    presets.clear();
    EXPECT_FALSE(ReadPresetFile(file_, &presets, &problems, 3));
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[3], "and 7 more presets that cannot be used");
}

TEST_F(TovanaImportFile, AUsableFileGivesEveryPresetWhole) {
    Write("Windows Registry Editor Version 5.00\r\n\r\n" + Alienator("One") + Alienator("Two", "Squelch", Hex(0)));
    std::vector<IncomingPreset> presets;
    std::vector<std::string> problems;
    ASSERT_TRUE(ReadPresetFile(file_, &presets, &problems)) << problems[0];
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0].name, "One");
    EXPECT_EQ(presets[0].line, 3);
    EXPECT_EQ(presets[1].line, 14);
    EXPECT_EQ(presets[1].block, (std::vector<double>{-1, 440, 0, 80, 20, 1, 100, 50, 1, 0}));

    Write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Wet Mix\"=" + Hex(1) + "\n");
    presets.clear();
    EXPECT_FALSE(ReadPresetFile(file_, &presets, &problems));
    EXPECT_NE(problems.back().find("holds no presets of Zentrix Tovana"), std::string::npos);
}

}  // namespace
}  // namespace tovana
