// The resource tables generated from ZentrixTvn.rc: dialog templates as
// the dialogs need them, every registry name in the string table, and the
// editor's toolbar bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/resource_tables.h"
#include "ui/resources.h"

namespace {

constexpr unsigned WS_CHILD = 0x40000000, WS_VISIBLE = 0x10000000, WS_POPUP = 0x80000000,
                   WS_CAPTION = 0x00C00000, WS_SYSMENU = 0x00080000, WS_DISABLED = 0x08000000,
                   WS_TABSTOP = 0x00010000, WS_GROUP = 0x00020000, WS_BORDER = 0x00800000,
                   WS_VSCROLL = 0x00200000, DS_SETFONT = 0x40, DS_MODALFRAME = 0x80,
                   WS_EX_TOOLWINDOW = 0x80;
constexpr unsigned kControl = WS_CHILD | WS_VISIBLE;
constexpr unsigned kTrackbar = kControl | WS_TABSTOP | 0x0004 /*TBS_TOP*/ | 0x0010 /*TBS_NOTICKS*/;
constexpr unsigned kValueEdit = kControl | WS_BORDER | 0x0002 /*ES_RIGHT*/ | 0x0080 /*ES_AUTOHSCROLL*/ |
                                0x0800 /*ES_READONLY*/ | 0x2000 /*ES_NUMBER*/;
constexpr unsigned kCheckBox = kControl | WS_TABSTOP | 0x0003;
constexpr unsigned kGroupBox = kControl | 0x0007;
constexpr unsigned kLeftText = kControl | WS_GROUP;

struct Expected {
    int id;
    const char* className;
    const char* text;
    unsigned style;
    int x, y, cx, cy;
};

const platform::ControlTemplate* Find(const platform::DialogTemplate& dialog, int id, const char* text,
                                      int occurrence = 0) {
    for (std::size_t i = 0; i < dialog.controlCount; ++i) {
        const platform::ControlTemplate& c = dialog.controls[i];
        if (c.id == id && (id != -1 || std::string(c.text) == text) && occurrence-- == 0) return &c;
    }
    return nullptr;
}

void ExpectControls(int dialogId, const std::vector<Expected>& controls) {
    const platform::DialogTemplate* dialog = platform::FindDialogTemplate(dialogId);
    ASSERT_NE(dialog, nullptr) << dialogId;
    for (const Expected& e : controls) {
        const platform::ControlTemplate* c = Find(*dialog, e.id, e.text);
        ASSERT_NE(c, nullptr) << dialogId << ": " << e.id << " " << e.text;
        EXPECT_STREQ(c->className, e.className) << e.id;
        EXPECT_STREQ(c->text, e.text) << e.id;
        EXPECT_EQ(c->style, e.style) << dialogId << ": " << e.id << " " << e.text;
        EXPECT_EQ((std::vector<int>{c->x, c->y, c->cx, c->cy}), (std::vector<int>{e.x, e.y, e.cx, e.cy}))
            << dialogId << ": " << e.id << " " << e.text;
    }
}

// The ids of the template's tab stops, in template order.
std::vector<int> TabStops(int dialogId) {
    std::vector<int> ids;
    const platform::DialogTemplate* dialog = platform::FindDialogTemplate(dialogId);
    for (std::size_t i = 0; dialog != nullptr && i < dialog->controlCount; ++i) {
        if (dialog->controls[i].style & WS_TABSTOP) ids.push_back(dialog->controls[i].id);
    }
    return ids;
}

TEST(DialogTemplates, FramesAsTheDialogsNeedThem) {
    struct Frame {
        int id;
        const char* caption;
        unsigned style;
        unsigned exStyle;
        int cx, cy;
        std::size_t controls;
    };
    const unsigned page = DS_SETFONT | WS_CHILD | WS_DISABLED | WS_CAPTION;
    for (const Frame& f : {Frame{1000, "Zentrix CoolEdit Plugin Tovana by Kestrum",
                                 DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 370, 242, 17},
                           Frame{1002, "Preset Name", DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                 WS_EX_TOOLWINDOW, 186, 25, 2},
                           Frame{1028, "Alienator", page, 0, 186, 167, 20},
                           Frame{1030, "Communicator", page, 0, 186, 167, 32},
                           Frame{1031, "Deepenator", page, 0, 186, 167, 37},
                           Frame{1032, "Cylonator", page, 0, 186, 167, 25}}) {
        const platform::DialogTemplate* dialog = platform::FindDialogTemplate(f.id);
        ASSERT_NE(dialog, nullptr) << f.id;
        EXPECT_STREQ(dialog->caption, f.caption);
        EXPECT_EQ(dialog->style, f.style) << f.id;
        EXPECT_EQ(dialog->exStyle, f.exStyle) << f.id;
        EXPECT_EQ(dialog->cx, f.cx) << f.id;
        EXPECT_EQ(dialog->cy, f.cy) << f.id;
        EXPECT_STREQ(dialog->fontName, "MS Sans Serif");
        EXPECT_EQ(dialog->fontPointSize, 8);
        EXPECT_EQ(dialog->controlCount, f.controls) << f.id;
    }
    EXPECT_EQ(platform::FindDialogTemplate(1001), nullptr);
}

TEST(DialogTemplates, PluginDialogControls) {
    ExpectControls(1000, {
        {1, "BUTTON", "OK", kControl | WS_TABSTOP | 0x1, 313, 7, 50, 14},
        {2, "BUTTON", "Cancel", kControl | WS_TABSTOP, 313, 24, 50, 14},
        {1030, "STATIC", "", WS_CHILD | 0x7 /*SS_BLACKFRAME, hidden*/, 7, 7, 190, 183},
        {1015, "LISTBOX", "", kControl | WS_BORDER | WS_VSCROLL | WS_TABSTOP | 0x1 | 0x2 | 0x100, 211, 18, 86, 210},
        {1003, "msctls_trackbar32", "", kTrackbar, 31, 204, 80, 10},
        {113, "EDIT", "", kValueEdit, 115, 217, 23, 12},
        {1019, "STATIC", "Wet", kLeftText, 14, 204, 14, 8},
        {1008, "BUTTON", "Linked", kCheckBox, 155, 211, 37, 10},
        {1016, "BUTTON", "Mix", kGroupBox, 7, 193, 192, 42},
    });
    EXPECT_EQ(TabStops(1000), (std::vector<int>{1, 2, 1015, 1012, 1026, 1003, 1004, 1008}));
}

TEST(DialogTemplates, PresetNameDialogControls) {
    ExpectControls(1002, {
        {110, "EDIT", "", kControl | WS_BORDER | WS_TABSTOP | 0x0080, 7, 7, 112, 12},
        {1, "BUTTON", "OK", kControl | WS_TABSTOP | 0x1, 129, 7, 50, 12},
    });
}

TEST(DialogTemplates, PageControls) {
    ExpectControls(1028, {
        {1011, "BUTTON", "Enabled", kCheckBox, 13, 85, 42, 10},
        {1017, "BUTTON", "Frequency Hopping", kGroupBox, 5, 49, 176, 49},
        {1055, "msctls_trackbar32", "", kTrackbar, 53, 17, 80, 10},
        {1058, "EDIT", "", kValueEdit, 136, 73, 23, 12},
        {1062, "STATIC", "Freq Dev", kLeftText, 13, 63, 30, 8},
        {-1, "STATIC", "dB", kLeftText, 163, 30, 12, 8},
    });
    ExpectControls(1030, {
        {1040, "msctls_trackbar32", "", kTrackbar, 55, 108, 80, 10},
        {111, "BUTTON", "Random Breakup", kCheckBox, 21, 135, 71, 10},
        {1050, "EDIT", "", kValueEdit, 137, 107, 23, 12},
        {-1, "BUTTON", "Advanced Settings", kGroupBox, 5, 124, 177, 35},
        {-1, "STATIC", "%", kLeftText, 165, 109, 11, 8},
    });
    ExpectControls(1031, {
        {1064, "msctls_trackbar32", "", kTrackbar, 55, 54, 80, 10},
        {1076, "BUTTON", "Reverb Delay", kCheckBox, 101, 146, 59, 10},
        {1080, "EDIT", "", kValueEdit, 137, 105, 23, 12},
        {-1, "BUTTON", "Randomize", kGroupBox, 5, 136, 177, 24},
        {-1, "STATIC", "Reverb Power", kLeftText, 10, 31, 46, 8},
    });
    ExpectControls(1032, {
        {1053, "msctls_trackbar32", "", kTrackbar, 55, 99, 80, 10},
        {112, "BUTTON", "Use Noise as Excitation", kCheckBox, 43, 71, 91, 10},
        {1048, "EDIT", "", kValueEdit, 137, 57, 23, 12},
        {-1, "BUTTON", "Excitation Left Channel", kGroupBox, 5, 88, 177, 51},
        {-1, "STATIC", "Cutoff", kLeftText, 16, 17, 20, 8},
    });
    // Template order is the tab order of sliders and check boxes.
    EXPECT_EQ(TabStops(1028), (std::vector<int>{1011, 1025, 1053, 1055, 1057, 1059}));
    EXPECT_EQ(TabStops(1030), (std::vector<int>{1031, 1032, 1033, 1034, 1037, 1036, 1040, 111, 1039, 1035, 1038}));
    EXPECT_EQ(TabStops(1031), (std::vector<int>{1063, 1064, 1067, 1075, 1076, 1069, 1071, 1073, 1077, 1079}));
    EXPECT_EQ(TabStops(1032), (std::vector<int>{1045, 1049, 1050, 1052, 111, 112, 1053}));
}

TEST(StringTable, HoldsEveryRegistryName) {
    const std::vector<std::pair<unsigned, const char*>> names = {
        {1, "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana"}, {17, "Init"}, {1029, "Last Active Effect"},
        {1030, "Last Alienator Settings"}, {1031, "Last Communicator Settings"}, {1064, "Last Deepenator Settings"},
        {1050, "Last Cylonator Settings"}, {1028, "Alienator Presets"}, {1032, "Communicator Presets"},
        {1063, "Deepenator Presets"}, {1049, "Cylonator Presets"}, {1061, "Software\\Kestrum"},
        {1062, "Zentrix CoolEdit Plugin Tovana"},
        {18, "Preset Selection"}, {6, "Carrier Freq"}, {7, "Squelch"}, {8, "Wet Mix"}, {9, "Dry Mix"},
        {10, "Mix Linked"}, {11, "Hop Freq Dev"}, {12, "Hop Period"}, {13, "Hop Enabled"}, {16, "Smooth Enabled"},
        {1044, "Preset Selection"}, {1045, "Wet Mix"}, {1046, "Dry Mix"}, {1047, "Mix Linked"}, {1033, "Fullness"},
        {1034, "Frequency"}, {1035, "Sensitivity"}, {1036, "Duration"}, {1042, "Squelch"},
        {1039, "Changing Static"}, {1040, "Changing Static Enabled"}, {1037, "Random Breakup"},
        {1038, "Random Amplitude"}, {1041, "Voice Bleed"}, {1043, "Aliasing"},
        {1059, "Preset Selection"}, {1056, "Wet Mix"}, {1057, "Dry Mix"}, {1058, "Mix Linked"}, {1048, "Freq"},
        {1051, "Pitch Left"}, {1052, "Pitch Right"}, {1053, "Amplitude Right"}, {1060, "Amplitude Left"},
        {1054, "Noise Left Enabled"}, {1055, "Noise Right Enabled"},
        {1078, "Preset Selection"}, {1065, "Wet Mix"}, {1066, "Dry Mix"}, {1067, "Mix Linked"},
        {1068, "Reverb Delay Left"}, {1069, "Reverb Power Left"}, {1070, "Comb Delay Left"},
        {1071, "Pitch Scale Left"}, {1072, "Reverb Delay Right"}, {1073, "Reverb Power Right"},
        {1074, "Comb Delay Right"}, {1075, "Pitch Scale Right"}, {1076, "Random Pitch Scale Enabled"},
        {1077, "Random Reverb Delay Enabled"},
    };
    for (const auto& [id, text] : names) {
        ASSERT_NE(resources::FindString(id), nullptr) << id;
        EXPECT_STREQ(resources::FindString(id), text) << id;
        EXPECT_STREQ(platform::FindStringResource(id), text) << id;
    }
    EXPECT_STREQ(platform::FindStringResource(1100), "Property Sheet");
    EXPECT_EQ(resources::FindString(2), nullptr);
}

std::uint32_t Little(const unsigned char* bytes, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

TEST(Bitmaps, ToolbarIconIsTwentyByTwentyWithSixteenColours) {
    const platform::ResourceTables* tables = platform::ModuleResources();
    ASSERT_NE(tables, nullptr);
    ASSERT_EQ(tables->bitmapCount, 1u);
    const platform::BitmapTemplate& bitmap = tables->bitmaps[0];
    EXPECT_STREQ(bitmap.name, "TOOLBARICON");
    ASSERT_GE(bitmap.size, 54u);
    const unsigned char* b = bitmap.bytes;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 2), "BM");
    EXPECT_EQ(Little(b + 2, 4), bitmap.size);
    EXPECT_EQ(Little(b + 14, 4), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(Little(b + 18, 4), 20u);
    EXPECT_EQ(Little(b + 22, 4), 20u);
    EXPECT_EQ(Little(b + 28, 2), 4u);   // bits per pixel
    EXPECT_EQ(Little(b + 30, 4), 0u);   // uncompressed
    // 16 palette entries, then 20 rows of 10 bytes padded to 12.
    EXPECT_EQ(Little(b + 10, 4), 14u + 40u + 64u);
    EXPECT_EQ(bitmap.size, 14u + 40u + 64u + 20u * 12u);
}

}  // namespace
