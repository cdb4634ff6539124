// The dialog framework's promises, the same on every backend: this file is
// built into the Linux suite (the portable framework) and into the Windows
// tests run under Wine (the Win32 framework). Scripts drive the plug-in's
// own dialog templates with nothing of the plug-in behind them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/event_source.h"
#include "platform/framework.h"
#include "tests/framework_test_support.h"

namespace {

using platform::Action;
using platform::Key;
using platform::Scope;
using platform::WindowHandle;

using namespace framework_test;

TEST(Trackbar, KeepsItsPositionInsideTheRange) {
    RecordingDialog dialog;
    ScriptScope script({Action::Inspect([](WindowHandle d) {
                            auto wet = In<CSliderCtrl>(d, kWetSlider);
                            wet.SetPos(150);
                            EXPECT_EQ(wet.GetPos(), 100);
                            wet.SetPos(-5);
                            EXPECT_EQ(wet.GetPos(), 0);
                            wet.SetPos(40);
                            wet.SetRange(50, 60);  // the position follows the range
                            EXPECT_EQ(wet.GetPos(), 50);
                            EXPECT_EQ(wet.GetLineSize(), 1);
                        }),
                        Action::MoveSlider(kDrySlider, 25), Action::Press(Key::Escape)});
    EXPECT_EQ(dialog.DoModal(), kCancel);
    EXPECT_EQ(script.source().error(), "");
    // A drag reports the clamped position while tracking and at the end;
    // programmatic moves report nothing. (Win32 edits also tell of the text
    // the data exchange puts in them, which the portable ones do not.)
    std::vector<Event> events;
    for (const Event& event : dialog.events) {
        if (event.id != kWetEdit) events.push_back(event);
    }
    std::vector<Event> expected = {{"scroll", kDrySlider, platform::kTbThumbTrack, 0},
                                   {"scroll", kDrySlider, platform::kTbThumbPosition, 0},
                                   {"scroll", kDrySlider, platform::kTbEndTrack, 0},
                                   {"command", kCancel, platform::kBnClicked, 0}};
    EXPECT_EQ(events, expected);
}

TEST(ListBox, SortsWithoutRegardToCaseAndKeepsItemData) {
    RecordingDialog dialog;
    int b = 1, a = 2, c = 3;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            auto list = In<CListBox>(d, kPresetList);
                            list.SetItemDataPtr(list.AddString("b"), &b);
                            list.SetItemDataPtr(list.AddString("A"), &a);
                            list.SetItemDataPtr(list.AddString("c"), &c);
                            ASSERT_EQ(list.GetCount(), 3);
                            EXPECT_EQ(list.GetText(0), "A");
                            EXPECT_EQ(list.GetText(1), "b");
                            EXPECT_EQ(list.GetText(2), "c");
                            EXPECT_EQ(list.GetItemDataPtr(0), &a);
                            EXPECT_EQ(list.GetItemDataPtr(2), &c);
                            EXPECT_EQ(list.FindStringExact(-1, "B"), 1);
                            EXPECT_EQ(list.FindStringExact(1, "b"), 1);  // wraps round to the start
                            EXPECT_EQ(list.FindStringExact(-1, "d"), -1);
                            EXPECT_EQ(list.GetCurSel(), -1);
                            EXPECT_EQ(list.SetCurSel(2), 2);
                            EXPECT_EQ(list.SetCurSel(7), -1);  // out of range: selection kept
                            EXPECT_EQ(list.GetCurSel(), 2);
                            EXPECT_EQ(list.DeleteString(0), 2);  // the selection moves with its entry
                            EXPECT_EQ(list.GetCurSel(), 1);
                            EXPECT_EQ(list.GetText(1), "c");
                        }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
}

TEST(DataExchange, DoublesRoundTripWithFifteenDigits) {
    RecordingDialog dialog;
    std::vector<std::string> texts;
    std::vector<double> values;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            for (double value : {0.1, 1.0 / 3.0, -2.5e-300, 100.0, 123456789012345678.0}) {
                                dialog.wet = value;
                                dialog.UpdateData(false);
                                texts.push_back(In(d, kWetEdit).GetWindowText());
                                dialog.wet = 0.0;
                                EXPECT_TRUE(dialog.UpdateData(true));
                                values.push_back(dialog.wet);
                            }
                        }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(texts, (std::vector<std::string>{"0.1", "0.333333333333333", "-2.5e-300", "100",
                                               "1.23456789012346e+17"}));
    EXPECT_EQ(values, (std::vector<double>{0.1, 0.333333333333333, -2.5e-300, 100.0, 1.23456789012346e+17}));
}

TEST(DataExchange, SlidersAndCheckBoxesBothWays) {
    RecordingDialog dialog;
    dialog.dry = -40;
    dialog.linked = 1;
    int shownDry = 0, shownLinked = 0;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            shownDry = In<CSliderCtrl>(d, kDrySlider).GetPos();
                            shownLinked = In<CButton>(d, kLinked).GetCheck();
                        }),
                        Action::MoveSlider(kDrySlider, -7), Action::Click(kLinked), Action::Press(Key::Enter)});
    EXPECT_EQ(dialog.DoModal(), kOk);
    EXPECT_EQ(shownDry, -40);
    EXPECT_EQ(shownLinked, 1);
    EXPECT_EQ(dialog.dry, -7);
    EXPECT_EQ(dialog.linked, 0);
}

TEST(PropertySheet, CreatesPagesOnFirstActivationAndOrdersTheCalls) {
    g_log.clear();
    SheetDialog dialog;
    bool radioBefore = true, radioAfter = false;
    std::string tab0, tab1;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            radioBefore =
                                platform::FindControl(d, IDC_COMMUNICATOR_FULLNESS, Scope::Page) != nullptr ||
                                dialog.radio.GetSafeHwnd() != nullptr;
                            EXPECT_EQ(dialog.sheet.GetTabControl().GetItemCount(), 2);
                            EXPECT_EQ(dialog.sheet.GetActiveIndex(), 0);
                        }),
                        Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 440), Action::SelectTab(1),
                        Action::Inspect([&](WindowHandle d) {
                            radioAfter =
                                platform::FindControl(d, IDC_COMMUNICATOR_FULLNESS, Scope::Page) != nullptr;
                            EXPECT_EQ(platform::FindControl(d, IDC_ALIENATOR_CARRIER_FREQ, Scope::Page), nullptr);
                            EXPECT_EQ(dialog.sheet.GetTabControl().GetCurSel(), 1);
                            EXPECT_EQ(dialog.alien.mirror, 440);  // taken when the page was left
                        }),
                        Action::SelectTab(0), Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    EXPECT_FALSE(radioBefore);
    EXPECT_TRUE(radioAfter);
    const std::string scrolled = "alien scroll " + std::to_string(IDC_ALIENATOR_CARRIER_FREQ);
    EXPECT_EQ(g_log, (std::vector<std::string>{"alien init", "alien set", scrolled, "alien kill",
                                               "radio init", "radio set", "radio kill", "alien set"}));
    // The windows are gone with the dialog, the pages stay in the sheet.
    EXPECT_EQ(dialog.alien.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dialog.sheet.GetPageCount(), 2);
    dialog.sheet.RemovePage(&dialog.alien);
    EXPECT_EQ(dialog.sheet.GetPageCount(), 1);
    EXPECT_EQ(dialog.sheet.GetPage(0), &dialog.radio);
}

TEST(PropertySheet, PageShownAgainGetsItsMirrorsBack) {
    g_log.clear();
    SheetDialog dialog;
    int shown = 0;
    ScriptScope script({Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 300), Action::SelectTab(1),
                        Action::Inspect([&](WindowHandle) {
                            dialog.alien.mirror = 123;  // what the page will show when it comes back
                        }),
                        Action::SelectTab(0),
                        Action::Inspect([&](WindowHandle d) { shown = In<CSliderCtrl>(d,
                                                             IDC_ALIENATOR_CARRIER_FREQ).GetPos(); }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(shown, 123);
}

}  // namespace
