// The resource tables generated from ZentrixTvn.rc: dialog templates as
// the dialogs need them, every registry name in the string table, and the
// editor's toolbar bitmap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/resource_tables.h"
#include "settings/resource_ids.h"
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
    for (const Frame& f : {Frame{IDD_PLUGIN_DIALOG, "Zentrix CoolEdit Plugin Tovana by Kestrum",
                                 DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 370, 242, 17},
                           Frame{IDD_PRESET_NAME, "Preset Name", DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU,
                                 WS_EX_TOOLWINDOW, 186, 25, 2},
                           Frame{IDD_ALIENATOR, "Alienator", page, 0, 186, 167, 20},
                           Frame{IDD_COMMUNICATOR, "Communicator", page, 0, 186, 167, 32},
                           Frame{IDD_DEEPENATOR, "Deepenator", page, 0, 186, 167, 37},
                           Frame{IDD_CYLONATOR, "Cylonator", page, 0, 186, 167, 25}}) {
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
    ExpectControls(IDD_PLUGIN_DIALOG, {
        {1, "BUTTON", "OK", kControl | WS_TABSTOP | 0x1, 313, 7, 50, 14},
        {2, "BUTTON", "Cancel", kControl | WS_TABSTOP, 313, 24, 50, 14},
        {IDC_SHEET_FRAME, "STATIC", "", WS_CHILD | 0x7 /*SS_BLACKFRAME, hidden*/, 7, 7, 190, 183},
        {IDC_PRESET_LIST, "LISTBOX", "", kControl | WS_BORDER | WS_VSCROLL | WS_TABSTOP | 0x1 | 0x2 | 0x100, 211,
         18, 86, 210},
        {IDC_WET_SLIDER, "msctls_trackbar32", "", kTrackbar, 31, 204, 80, 10},
        {IDC_DRY_EDIT, "EDIT", "", kValueEdit, 115, 217, 23, 12},
        {IDC_WET_LABEL, "STATIC", "Wet", kLeftText, 14, 204, 14, 8},
        {IDC_LINKED, "BUTTON", "Linked", kCheckBox, 155, 211, 37, 10},
        {IDC_MIX_GROUP, "BUTTON", "Mix", kGroupBox, 7, 193, 192, 42},
    });
    EXPECT_EQ(TabStops(IDD_PLUGIN_DIALOG), (std::vector<int>{1, 2, IDC_PRESET_LIST, IDC_SAVE_PRESET,
                                                             IDC_DELETE_PRESET, IDC_WET_SLIDER, IDC_DRY_SLIDER,
                                                             IDC_LINKED}));
}

TEST(DialogTemplates, PresetNameDialogControls) {
    ExpectControls(IDD_PRESET_NAME, {
        {IDC_PRESET_NAME, "EDIT", "", kControl | WS_BORDER | WS_TABSTOP | 0x0080, 7, 7, 112, 12},
        {1, "BUTTON", "OK", kControl | WS_TABSTOP | 0x1, 129, 7, 50, 12},
    });
}

TEST(DialogTemplates, PageControls) {
    ExpectControls(IDD_ALIENATOR, {
        {IDC_ALIENATOR_HOP_ENABLED, "BUTTON", "Enabled", kCheckBox, 13, 85, 42, 10},
        {IDC_ALIENATOR_HOPPING_GROUP, "BUTTON", "Frequency Hopping", kGroupBox, 5, 49, 176, 49},
        {IDC_ALIENATOR_CARRIER_FREQ, "msctls_trackbar32", "", kTrackbar, 53, 17, 80, 10},
        {IDC_ALIENATOR_HOP_PERIOD_EDIT, "EDIT", "", kValueEdit, 136, 73, 23, 12},
        {IDC_ALIENATOR_HOP_FREQ_DEV_LABEL, "STATIC", "Freq Dev", kLeftText, 13, 63, 30, 8},
        {-1, "STATIC", "dB", kLeftText, 163, 30, 12, 8},
    });
    ExpectControls(IDD_COMMUNICATOR, {
        {IDC_COMMUNICATOR_CHANGING_STATIC, "msctls_trackbar32", "", kTrackbar, 55, 108, 80, 10},
        {IDC_COMMUNICATOR_RANDOM_BREAKUP, "BUTTON", "Random Breakup", kCheckBox, 21, 135, 71, 10},
        {IDC_COMMUNICATOR_CHANGING_STATIC_EDIT, "EDIT", "", kValueEdit, 137, 107, 23, 12},
        {-1, "BUTTON", "Advanced Settings", kGroupBox, 5, 124, 177, 35},
        {-1, "STATIC", "%", kLeftText, 165, 109, 11, 8},
    });
    ExpectControls(IDD_DEEPENATOR, {
        {IDC_DEEPENATOR_PITCH_SCALE_RIGHT, "msctls_trackbar32", "", kTrackbar, 55, 54, 80, 10},
        {IDC_DEEPENATOR_RANDOM_REVERB_DELAY, "BUTTON", "Reverb Delay", kCheckBox, 101, 146, 59, 10},
        {IDC_DEEPENATOR_COMB_DELAY_LEFT_EDIT, "EDIT", "", kValueEdit, 137, 105, 23, 12},
        {-1, "BUTTON", "Randomize", kGroupBox, 5, 136, 177, 24},
        {-1, "STATIC", "Reverb Power", kLeftText, 10, 31, 46, 8},
    });
    ExpectControls(IDD_CYLONATOR, {
        {IDC_CYLONATOR_AMPLITUDE_LEFT, "msctls_trackbar32", "", kTrackbar, 55, 99, 80, 10},
        {IDC_CYLONATOR_NOISE_RIGHT, "BUTTON", "Use Noise as Excitation", kCheckBox, 43, 71, 91, 10},
        {IDC_CYLONATOR_PITCH_RIGHT_EDIT, "EDIT", "", kValueEdit, 137, 57, 23, 12},
        {-1, "BUTTON", "Excitation Left Channel", kGroupBox, 5, 88, 177, 51},
        {-1, "STATIC", "Cutoff", kLeftText, 16, 17, 20, 8},
    });
    // Template order is the tab order of sliders and check boxes.
    EXPECT_EQ(TabStops(IDD_ALIENATOR), (std::vector<int>{IDC_ALIENATOR_HOP_ENABLED, IDC_ALIENATOR_SMOOTH,
                                                         IDC_ALIENATOR_SQUELCH, IDC_ALIENATOR_CARRIER_FREQ,
                                                         IDC_ALIENATOR_HOP_PERIOD, IDC_ALIENATOR_HOP_FREQ_DEV}));
    EXPECT_EQ(TabStops(IDD_COMMUNICATOR), (std::vector<int>{IDC_COMMUNICATOR_FULLNESS, IDC_COMMUNICATOR_FREQUENCY,
                                                            IDC_COMMUNICATOR_SENSITIVITY,
                                                            IDC_COMMUNICATOR_SQUELCH, IDC_COMMUNICATOR_DURATION,
                                                            IDC_COMMUNICATOR_VARIATION,
                                                            IDC_COMMUNICATOR_CHANGING_STATIC,
                                                            IDC_COMMUNICATOR_RANDOM_BREAKUP,
                                                            IDC_COMMUNICATOR_ALIASING,
                                                            IDC_COMMUNICATOR_RANDOM_AMPLITUDE,
                                                            IDC_COMMUNICATOR_VOICE_BLEED}));
    EXPECT_EQ(TabStops(IDD_DEEPENATOR), (std::vector<int>{IDC_DEEPENATOR_PITCH_SCALE_LEFT,
                                                          IDC_DEEPENATOR_PITCH_SCALE_RIGHT,
                                                          IDC_DEEPENATOR_REVERB_DELAY_RIGHT,
                                                          IDC_DEEPENATOR_RANDOM_PITCH_SCALE,
                                                          IDC_DEEPENATOR_RANDOM_REVERB_DELAY,
                                                          IDC_DEEPENATOR_REVERB_DELAY_LEFT,
                                                          IDC_DEEPENATOR_REVERB_POWER_RIGHT,
                                                          IDC_DEEPENATOR_COMB_DELAY_RIGHT,
                                                          IDC_DEEPENATOR_REVERB_POWER_LEFT,
                                                          IDC_DEEPENATOR_COMB_DELAY_LEFT}));
    EXPECT_EQ(TabStops(IDD_CYLONATOR), (std::vector<int>{IDC_CYLONATOR_FREQ, IDC_CYLONATOR_PITCH_LEFT,
                                                         IDC_CYLONATOR_PITCH_RIGHT, IDC_CYLONATOR_AMPLITUDE_RIGHT,
                                                         IDC_CYLONATOR_NOISE_LEFT, IDC_CYLONATOR_NOISE_RIGHT,
                                                         IDC_CYLONATOR_AMPLITUDE_LEFT}));
}

TEST(StringTable, HoldsEveryRegistryName) {
    const std::vector<std::pair<unsigned, const char*>> names = {
        {IDS_ROOT_KEY, "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana"}, {IDS_INIT_KEY, "Init"},
        {IDS_LAST_ACTIVE_EFFECT, "Last Active Effect"},
        {IDS_ALIENATOR_LAST_SETTINGS_KEY, "Last Alienator Settings"},
        {IDS_COMMUNICATOR_LAST_SETTINGS_KEY, "Last Communicator Settings"},
        {IDS_DEEPENATOR_LAST_SETTINGS_KEY, "Last Deepenator Settings"},
        {IDS_CYLONATOR_LAST_SETTINGS_KEY, "Last Cylonator Settings"},
        {IDS_ALIENATOR_PRESETS_KEY, "Alienator Presets"}, {IDS_COMMUNICATOR_PRESETS_KEY, "Communicator Presets"},
        {IDS_DEEPENATOR_PRESETS_KEY, "Deepenator Presets"}, {IDS_CYLONATOR_PRESETS_KEY, "Cylonator Presets"},
        {IDS_PARENT_KEY, "Software\\Kestrum"},
        {IDS_ROOT_NAME, "Zentrix CoolEdit Plugin Tovana"},
        {IDS_ALIENATOR_PRESET_SELECTION, "Preset Selection"}, {IDS_ALIENATOR_CARRIER_FREQ, "Carrier Freq"},
        {IDS_ALIENATOR_SQUELCH, "Squelch"}, {IDS_ALIENATOR_WET_MIX, "Wet Mix"},
        {IDS_ALIENATOR_DRY_MIX, "Dry Mix"},
        {IDS_ALIENATOR_MIX_LINKED, "Mix Linked"}, {IDS_ALIENATOR_HOP_FREQ_DEV, "Hop Freq Dev"},
        {IDS_ALIENATOR_HOP_PERIOD, "Hop Period"}, {IDS_ALIENATOR_HOP_ENABLED, "Hop Enabled"},
        {IDS_ALIENATOR_SMOOTH_ENABLED, "Smooth Enabled"},
        {IDS_COMMUNICATOR_PRESET_SELECTION, "Preset Selection"}, {IDS_COMMUNICATOR_WET_MIX, "Wet Mix"},
        {IDS_COMMUNICATOR_DRY_MIX, "Dry Mix"}, {IDS_COMMUNICATOR_MIX_LINKED, "Mix Linked"},
        {IDS_COMMUNICATOR_FULLNESS, "Fullness"},
        {IDS_COMMUNICATOR_FREQUENCY, "Frequency"}, {IDS_COMMUNICATOR_SENSITIVITY, "Sensitivity"},
        {IDS_COMMUNICATOR_DURATION, "Duration"}, {IDS_COMMUNICATOR_SQUELCH, "Squelch"},
        {IDS_COMMUNICATOR_CHANGING_STATIC, "Changing Static"},
        {IDS_COMMUNICATOR_CHANGING_STATIC_ENABLED, "Changing Static Enabled"},
        {IDS_COMMUNICATOR_RANDOM_BREAKUP, "Random Breakup"},
        {IDS_COMMUNICATOR_RANDOM_AMPLITUDE, "Random Amplitude"}, {IDS_COMMUNICATOR_VOICE_BLEED, "Voice Bleed"},
        {IDS_COMMUNICATOR_ALIASING, "Aliasing"},
        {IDS_CYLONATOR_PRESET_SELECTION, "Preset Selection"}, {IDS_CYLONATOR_WET_MIX, "Wet Mix"},
        {IDS_CYLONATOR_DRY_MIX, "Dry Mix"}, {IDS_CYLONATOR_MIX_LINKED, "Mix Linked"},
        {IDS_CYLONATOR_FREQ, "Freq"},
        {IDS_CYLONATOR_PITCH_LEFT, "Pitch Left"}, {IDS_CYLONATOR_PITCH_RIGHT, "Pitch Right"},
        {IDS_CYLONATOR_AMPLITUDE_RIGHT, "Amplitude Right"}, {IDS_CYLONATOR_AMPLITUDE_LEFT, "Amplitude Left"},
        {IDS_CYLONATOR_NOISE_LEFT_ENABLED, "Noise Left Enabled"},
        {IDS_CYLONATOR_NOISE_RIGHT_ENABLED, "Noise Right Enabled"},
        {IDS_DEEPENATOR_PRESET_SELECTION, "Preset Selection"}, {IDS_DEEPENATOR_WET_MIX, "Wet Mix"},
        {IDS_DEEPENATOR_DRY_MIX, "Dry Mix"}, {IDS_DEEPENATOR_MIX_LINKED, "Mix Linked"},
        {IDS_DEEPENATOR_REVERB_DELAY_LEFT, "Reverb Delay Left"},
        {IDS_DEEPENATOR_REVERB_POWER_LEFT, "Reverb Power Left"},
        {IDS_DEEPENATOR_COMB_DELAY_LEFT, "Comb Delay Left"},
        {IDS_DEEPENATOR_PITCH_SCALE_LEFT, "Pitch Scale Left"},
        {IDS_DEEPENATOR_REVERB_DELAY_RIGHT, "Reverb Delay Right"},
        {IDS_DEEPENATOR_REVERB_POWER_RIGHT, "Reverb Power Right"},
        {IDS_DEEPENATOR_COMB_DELAY_RIGHT, "Comb Delay Right"},
        {IDS_DEEPENATOR_PITCH_SCALE_RIGHT, "Pitch Scale Right"},
        {IDS_DEEPENATOR_RANDOM_PITCH_SCALE_ENABLED, "Random Pitch Scale Enabled"},
        {IDS_DEEPENATOR_RANDOM_REVERB_DELAY_ENABLED, "Random Reverb Delay Enabled"},
    };
    for (const auto& [id, text] : names) {
        ASSERT_NE(resources::FindString(id), nullptr) << id;
        EXPECT_STREQ(resources::FindString(id), text) << id;
        EXPECT_STREQ(platform::FindStringResource(id), text) << id;
    }
    EXPECT_STREQ(platform::FindStringResource(IDS_PROPERTY_SHEET), "Property Sheet");
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
