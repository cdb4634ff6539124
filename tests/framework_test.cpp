// The portable dialog framework driven by scripts: controls, modal loops,
// keyboard, property sheet, data exchange and message boxes, on the
// plug-in's own dialog templates.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/event_source.h"
#include "platform/framework.h"
#include "platform/portable/window_model.h"
#include "tests/framework_test_support.h"

namespace {

using platform::Action;
using platform::Key;
using platform::Scope;
using platform::WindowHandle;

constexpr int kPluginDialog = 1000;
constexpr int kOk = 1, kCancel = 2;
constexpr int kWetSlider = 1003, kDrySlider = 1004, kWetEdit = 112, kDryEdit = 113;
constexpr int kPresetList = 1015, kSaveButton = 1012, kDeleteButton = 1026, kLinked = 1008;

struct Event {
    std::string what;
    int id = 0;
    int code = 0;
    int position = 0;
    bool operator==(const Event& other) const {
        return what == other.what && id == other.id && code == other.code && position == other.position;
    }
};

std::ostream& operator<<(std::ostream& out, const Event& e) {
    return out << e.what << "(" << e.id << ", " << e.code << ", " << e.position << ")";
}

// The plug-in dialog's template with nothing of the plug-in behind it: it
// sets the mix sliders' ranges and records every notification.
class RecordingDialog : public CDialog {
public:
    RecordingDialog() : CDialog(kPluginDialog) {}

    bool OnInitDialog() override {
        Item<CSliderCtrl>(kWetSlider).SetRange(0, 100);
        Item<CSliderCtrl>(kDrySlider).SetRange(-90, 0);
        return CDialog::OnInitDialog();
    }
    bool OnCommand(int id, int code) override {
        events.push_back({"command", id, code, 0});
        return CDialog::OnCommand(id, code);
    }
    void OnHScroll(int code, int position, CWnd* bar) override {
        events.push_back({"scroll", bar->GetDlgCtrlID(), code, position});
    }
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Text(dx, kWetEdit, wet);
        DDX_Slider(dx, kDrySlider, dry);
        DDX_Check(dx, kLinked, linked);
    }

    std::vector<Event> events;
    double wet = 0.0;
    int dry = 0;
    int linked = 0;
};

template <class Control = CWnd>
Control In(WindowHandle dialog, int id, Scope scope = Scope::Auto) {
    return Control(platform::FindControl(dialog, id, scope));
}

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
    // programmatic moves report nothing.
    std::vector<Event> expected = {{"scroll", kDrySlider, platform::kTbThumbTrack, 0},
                                   {"scroll", kDrySlider, platform::kTbThumbPosition, 0},
                                   {"scroll", kDrySlider, platform::kTbEndTrack, 0},
                                   {"command", kCancel, platform::kBnClicked, 0}};
    EXPECT_EQ(dialog.events, expected);
}

TEST(Trackbar, KeysMoveTheFocusedThumb) {
    RecordingDialog dialog;
    std::vector<int> positions;
    auto look = [&](WindowHandle d) { positions.push_back(In<CSliderCtrl>(d, kDrySlider).GetPos()); };
    ScriptScope script({Action::Focus(kDrySlider), Action::Press(Key::Left), Action::Inspect(look),
                        Action::Press(Key::Right), Action::Inspect(look), Action::Press(Key::Down),
                        Action::Inspect(look), Action::Press(Key::Up), Action::Inspect(look),
                        Action::Press(Key::Home), Action::Inspect(look), Action::Press(Key::PageDown),
                        Action::Inspect(look), Action::Press(Key::End), Action::Inspect(look),
                        Action::Press(Key::Right), Action::Press(Key::PageUp), Action::Inspect(look),
                        Action::Close()});
    dialog.dry = -90;
    EXPECT_EQ(dialog.DoModal(), kCancel);
    EXPECT_EQ(script.source().error(), "");
    // Range -90..0: line size 1, page size a fifth of the range (18).
    EXPECT_EQ(positions, (std::vector<int>{-90, -89, -88, -89, -90, -72, 0, -18}));
    // Left at the lower end moves nothing and only ends the move; Right at
    // the upper end likewise.
    ASSERT_GE(dialog.events.size(), 4u);
    EXPECT_EQ(dialog.events[0], (Event{"scroll", kDrySlider, platform::kTbEndTrack, 0}));
    EXPECT_EQ(dialog.events[1], (Event{"scroll", kDrySlider, platform::kTbLineDown, 0}));
    EXPECT_EQ(dialog.events[2], (Event{"scroll", kDrySlider, platform::kTbEndTrack, 0}));
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

TEST(ListBox, NotifiesSelectionChangesMadeByTheUserOnly) {
    RecordingDialog dialog;
    int selected = -2;
    ScriptScope script({Action::Inspect([](WindowHandle d) {
                            auto list = In<CListBox>(d, kPresetList);
                            for (const char* name : {"Radio", "alien", "Deep"}) list.AddString(name);
                            list.SetCurSel(1);
                        }),
                        Action::SelectListIndex(kPresetList, 2), Action::SelectListText(kPresetList, "Deep"),
                        Action::Press(Key::Up),
                        Action::Inspect([&](WindowHandle d) { selected = In<CListBox>(d, kPresetList).GetCurSel(); }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    EXPECT_EQ(selected, 0);  // Up from "Deep" to "alien"
    std::vector<Event> expected = {{"command", kPresetList, platform::kLbnSelChange, 0},
                                   {"command", kPresetList, platform::kLbnSelChange, 0},
                                   {"command", kPresetList, platform::kLbnSelChange, 0},
                                   {"command", kCancel, platform::kBnClicked, 0}};
    EXPECT_EQ(dialog.events, expected);
}

TEST(Buttons, CheckBoxesToggleAndDisabledControlsIgnoreClicks) {
    RecordingDialog dialog;
    std::vector<int> states;
    auto look = [&](WindowHandle d) { states.push_back(In<CButton>(d, kLinked).GetCheck()); };
    ScriptScope script({Action::Click(kLinked), Action::Inspect(look), Action::Click(kLinked), Action::Inspect(look),
                        Action::Inspect([](WindowHandle d) {
                            In(d, kLinked).EnableWindow(false);
                            In(d, kSaveButton).EnableWindow(false);
                            In(d, kWetSlider).EnableWindow(false);
                        }),
                        Action::Click(kLinked), Action::Click(kSaveButton), Action::MoveSlider(kWetSlider, 50),
                        Action::Inspect(look), Action::Click(kDeleteButton), Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    EXPECT_EQ(states, (std::vector<int>{1, 0, 0}));
    std::vector<Event> expected = {{"command", kLinked, platform::kBnClicked, 0},
                                   {"command", kLinked, platform::kBnClicked, 0},
                                   {"command", kDeleteButton, platform::kBnClicked, 0},
                                   {"command", kCancel, platform::kBnClicked, 0}};
    EXPECT_EQ(dialog.events, expected);
}

TEST(ModalLoop, EnterEscapeAndCloseReachOkAndCancel) {
    {
        RecordingDialog dialog;
        ScriptScope script({Action::Press(Key::Enter)});
        EXPECT_EQ(dialog.DoModal(), kOk);
    }
    {
        RecordingDialog dialog;
        ScriptScope script({Action::Press(Key::Escape)});
        EXPECT_EQ(dialog.DoModal(), kCancel);
    }
    {
        RecordingDialog dialog;
        ScriptScope script({Action::Close()});
        EXPECT_EQ(dialog.DoModal(), kCancel);
    }
    {
        // Enter presses the focused push button rather than the default one.
        RecordingDialog dialog;
        ScriptScope script({Action::Focus(kCancel), Action::Press(Key::Enter)});
        EXPECT_EQ(dialog.DoModal(), kCancel);
    }
    {
        // A disabled Cancel button keeps Escape and the close button from
        // cancelling.
        RecordingDialog dialog;
        ScriptScope script({Action::Inspect([](WindowHandle d) { In(d, kCancel).EnableWindow(false); }),
                            Action::Press(Key::Escape), Action::Close(), Action::Press(Key::Enter)});
        EXPECT_EQ(dialog.DoModal(), kOk);
        EXPECT_EQ(script.source().error(), "");
    }
}

TEST(ModalLoop, TabWalksTheTabStopsInTemplateOrder) {
    RecordingDialog dialog;
    std::vector<int> focus;
    auto look = [&](WindowHandle) { focus.push_back(CWnd(platform::portable::FocusedWindow()).GetDlgCtrlID()); };
    std::vector<Action> actions = {Action::Inspect(look)};
    for (int i = 0; i < 8; ++i) actions.insert(actions.end(), {Action::Press(Key::Tab), Action::Inspect(look)});
    actions.insert(actions.end(), {Action::Inspect([](WindowHandle d) { In(d, kDeleteButton).EnableWindow(false); }),
                                   Action::Press(Key::ShiftTab), Action::Inspect(look), Action::Press(Key::ShiftTab),
                                   Action::Inspect(look), Action::Close()});
    ScriptScope script(actions);
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    // Statics, group boxes and the read-only edits are no tab stops.
    EXPECT_EQ(focus, (std::vector<int>{kOk, kCancel, kPresetList, kSaveButton, kDeleteButton, kWetSlider,
                                       kDrySlider, kLinked, kOk, kLinked, kDrySlider}));
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

TEST(DataExchange, TextThatIsNoNumberKeepsTheDialogOpen) {
    RecordingDialog dialog;
    dialog.wet = 5.0;
    // The edit is read-only for the user; the program may still change it.
    ScriptScope script({Action::Inspect([](WindowHandle d) { In(d, kWetEdit).SetWindowText("12 apples"); }),
                        Action::Press(Key::Enter), Action::Answer(platform::kIdOk),
                        Action::Inspect([](WindowHandle d) { In(d, kWetEdit).SetWindowText(" 12.5 "); }),
                        Action::Press(Key::Enter)});
    EXPECT_EQ(dialog.DoModal(), kOk);
    EXPECT_EQ(script.source().error(), "");
    ASSERT_EQ(script.source().messageBoxes().size(), 1u);
    EXPECT_EQ(script.source().messageBoxes()[0].box.text, "Please enter a number.");
    EXPECT_EQ(dialog.wet, 12.5);
}

TEST(MessageBoxes, AreRecordedWithCaptionTextIconAndButtons) {
    RecordingDialog dialog;
    std::vector<int> answers;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            answers.push_back(AfxMessageBox("Overwrite?", platform::kMbYesNo | platform::kMbIconQuestion));
                            CWnd owner(d);
                            answers.push_back(owner.MessageBox("Gone.", "Registry", platform::kMbIconError));
                        }),
                        Action::Answer(platform::kIdNo), Action::Answer(platform::kIdOk), Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    EXPECT_EQ(answers, (std::vector<int>{platform::kIdNo, platform::kIdOk}));
    const auto& boxes = script.source().messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_EQ(boxes[0].box.caption, AfxGetApp()->title());
    EXPECT_EQ(boxes[0].box.text, "Overwrite?");
    EXPECT_EQ(boxes[0].box.type & platform::kMbIconMask, platform::kMbIconQuestion);
    EXPECT_EQ(boxes[0].box.type & platform::kMbButtonsMask, platform::kMbYesNo);
    EXPECT_NE(boxes[0].box.owner, nullptr);  // the active window owns the framework's boxes
    EXPECT_EQ(boxes[1].box.caption, "Registry");
    EXPECT_EQ(boxes[1].box.type, platform::kMbIconError);
}

TEST(MessageBoxes, ScriptMustAnswerUnlessToldOtherwise) {
    {
        ScriptScope script({});
        EXPECT_EQ(AfxMessageBox("Sure?", platform::kMbYesNo), platform::kIdYes);
        EXPECT_NE(script.source().error().find("Sure?"), std::string::npos);
    }
    {
        ScriptScope script({}, true);
        EXPECT_EQ(AfxMessageBox("Sure?", platform::kMbYesNo), platform::kIdYes);
        EXPECT_EQ(script.source().error(), "");
    }
    {
        ScriptScope script({Action::Answer(platform::kIdYes)});
        EXPECT_EQ(AfxMessageBox("Note.", platform::kMbOk), platform::kIdOk);
        EXPECT_NE(script.source().error().find("does not offer"), std::string::npos);
    }
}

TEST(EventSources, TheDefaultSourceClosesDialogsAndTakesDefaultButtons) {
    platform::SetEventSource(nullptr);
    RecordingDialog dialog;
    EXPECT_EQ(dialog.DoModal(), kCancel);
    EXPECT_EQ(AfxMessageBox("Overwrite?", platform::kMbYesNo), platform::kIdYes);
    EXPECT_EQ(AfxMessageBox("Note.", platform::kMbOkCancel | 0x100), platform::kIdCancel);  // second button default
}

// A dialog whose Cancel does nothing, holding a nested modal dialog.
class StubbornDialog : public CDialog {
public:
    StubbornDialog() : CDialog(kPluginDialog) {}
    void OnCancel() override { ++cancels; }
    bool OnCommand(int id, int code) override {
        if (id == kSaveButton && code == platform::kBnClicked) {
            RecordingDialog inner;
            innerResult = inner.DoModal();
            return true;
        }
        return CDialog::OnCommand(id, code);
    }
    int cancels = 0;
    int innerResult = 0;
};

TEST(EventSources, RunningOutOfScriptNamesTheDialogAndNeverHangs) {
    StubbornDialog dialog;
    ScriptScope script({Action::Click(kSaveButton)});
    EXPECT_EQ(dialog.DoModal(), kCancel);
    EXPECT_EQ(dialog.innerResult, kCancel);
    EXPECT_EQ(dialog.cancels, 1);  // asked once to close, then ended
    const std::string& error = script.source().error();
    EXPECT_NE(error.find("ran out while dialog \"Zentrix CoolEdit Plugin Tovana by Kestrum\""), std::string::npos)
        << error;
    EXPECT_EQ(platform::ActiveModalDialog(), nullptr);
}

// A handler that throws out of a nested dialog leaves no window behind and
// gives the outer dialog back its input.
class ThrowingDialog : public RecordingDialog {
public:
    bool OnInitDialog() override { throw std::runtime_error("Init"); }
};

TEST(ModalLoop, AnExceptionLeavesNoDialogBehind) {
    class Outer : public RecordingDialog {
    public:
        bool OnCommand(int id, int code) override {
            if (id != kSaveButton) return RecordingDialog::OnCommand(id, code);
            ThrowingDialog inner;
            try {
                inner.DoModal();
            } catch (const std::runtime_error&) {
                caught = true;
            }
            enabledAfter = IsWindowEnabled();
            modalAfter = platform::ActiveModalDialog() == GetSafeHwnd();
            return true;
        }
        bool caught = false, enabledAfter = false, modalAfter = false;
    } outer;
    ScriptScope script({Action::Click(kSaveButton), Action::Close()});
    EXPECT_EQ(outer.DoModal(), kCancel);
    EXPECT_TRUE(outer.caught);
    EXPECT_TRUE(outer.enabledAfter);
    EXPECT_TRUE(outer.modalAfter);
    EXPECT_EQ(platform::ActiveModalDialog(), nullptr);
}

TEST(EventSources, ABrokenScriptStopsAndSaysWhy) {
    RecordingDialog dialog;
    ScriptScope script({Action::Click(4711), Action::Press(Key::Enter)});
    EXPECT_EQ(dialog.DoModal(), kCancel);
    EXPECT_NE(script.source().error().find("no control 4711"), std::string::npos) << script.source().error();
    EXPECT_FALSE(script.source().finished() && script.source().error().empty());
}

TEST(Geometry, DialogUnitsBecomePixelsWithTheDialogFontMetrics) {
    RecordingDialog dialog;
    platform::Rect frame, client;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            CWnd placeholder = In(d, 1030);
                            placeholder.GetWindowRect(&frame);
                            client = frame;
                            CWnd(d).ScreenToClient(&client);
                            EXPECT_FALSE(placeholder.IsWindowVisible());
                        }),
                        Action::Close()});
    dialog.DoModal();
    // Frame 1030 is 7, 7, 190, 183 in dialog units.
    EXPECT_EQ(client.left, 11);     // 7 * 6 / 4 = 10.5, rounded
    EXPECT_EQ(client.top, 11);      // 7 * 13 / 8 = 11.4
    EXPECT_EQ(client.Width(), 285);   // 190 * 6 / 4
    EXPECT_EQ(client.Height(), 297);  // 183 * 13 / 8 = 297.4
}

TEST(WindowModel, OffersARenderersView) {
    namespace model = platform::portable;
    RecordingDialog dialog;
    WindowHandle handle = nullptr;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            handle = d;
                            const model::Window* window = model::LookUp(d);
                            ASSERT_NE(window, nullptr);
                            EXPECT_EQ(window->kind, model::WindowKind::Dialog);
                            EXPECT_EQ(window->fontName, "MS Sans Serif");
                            EXPECT_EQ(window->children.size(), 17u);
                            EXPECT_EQ(model::ModalDialogs(), std::vector<WindowHandle>{d});
                            const model::Window* slider = model::LookUp(platform::FindControl(d, kDrySlider));
                            ASSERT_NE(slider, nullptr);
                            EXPECT_EQ(slider->kind, model::WindowKind::Trackbar);
                            EXPECT_EQ(slider->rangeMin, -90);
                            EXPECT_EQ(slider->parent, d);
                            unsigned long before = model::ModelRevision();
                            In<CListBox>(d, kPresetList).AddString("x");
                            EXPECT_GT(model::ModelRevision(), before);
                            EXPECT_EQ(model::LookUp(platform::FindControl(d, kPresetList))->entries.at(0).text, "x");
                            EXPECT_EQ(model::LookUp(model::FocusedWindow())->id, kOk);
                        }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(model::LookUp(handle), nullptr);  // handles are not reused
    EXPECT_TRUE(model::ModalDialogs().empty());
}

// --- Property sheet ------------------------------------------------------------------

std::vector<std::string> g_log;

class LoggingPage : public CPropertyPage {
public:
    LoggingPage(int templateId, std::string name, int slider)
        : CPropertyPage(templateId), name_(std::move(name)), slider_(slider) {}
    bool OnInitDialog() override {
        g_log.push_back(name_ + " init");
        Item<CSliderCtrl>(slider_).SetRange(0, 1000);
        return CPropertyPage::OnInitDialog();
    }
    bool OnSetActive() override {
        g_log.push_back(name_ + " set");
        return CPropertyPage::OnSetActive();
    }
    bool OnKillActive() override {
        g_log.push_back(name_ + " kill");
        return CPropertyPage::OnKillActive();
    }
    void DoDataExchange(CDataExchange* dx) override { DDX_Slider(dx, slider_, mirror); }
    void OnHScroll(int code, int, CWnd* bar) override {
        if (code == platform::kTbEndTrack) g_log.push_back(name_ + " scroll " + std::to_string(bar->GetDlgCtrlID()));
    }
    int mirror = 7;

private:
    std::string name_;
    int slider_;
};

class SheetDialog : public CDialog {
public:
    SheetDialog() : CDialog(kPluginDialog), sheet(1100), alien(1028, "alien", 1055), radio(1030, "radio", 1031) {}
    bool OnInitDialog() override {
        CDialog::OnInitDialog();
        sheet.AddPage(&alien);
        sheet.AddPage(&radio);
        sheet.EnableStackedTabs(false);
        sheet.Create(this, platform::kWsChild | platform::kWsVisible, 0);
        platform::Rect frame;
        GetDlgItem(1030).GetWindowRect(&frame);
        ScreenToClient(&frame);
        sheet.GetTabControl().MoveWindow(0, 0, frame.Width(), frame.Height());
        sheet.SetWindowPos(nullptr, frame.left, frame.top, 0, 0,
                           platform::kSwpNoZOrder | platform::kSwpNoSize | platform::kSwpNoActivate);
        sheet.ModifyStyleEx(0, platform::kWsExControlParent);
        sheet.ModifyStyle(0, platform::kWsTabStop);
        return true;
    }
    CPropertySheet sheet;
    LoggingPage alien;
    LoggingPage radio;
};

TEST(PropertySheet, CreatesPagesOnFirstActivationAndOrdersTheCalls) {
    g_log.clear();
    SheetDialog dialog;
    bool radioBefore = true, radioAfter = false;
    std::string tab0, tab1;
    ScriptScope script({Action::Inspect([&](WindowHandle d) {
                            radioBefore = platform::FindControl(d, 1031, Scope::Page) != nullptr ||
                                          dialog.radio.GetSafeHwnd() != nullptr;
                            EXPECT_EQ(dialog.sheet.GetTabControl().GetItemCount(), 2);
                            EXPECT_EQ(dialog.sheet.GetActiveIndex(), 0);
                        }),
                        Action::MoveSlider(1055, 440), Action::SelectTab(1),
                        Action::Inspect([&](WindowHandle d) {
                            radioAfter = platform::FindControl(d, 1031, Scope::Page) != nullptr;
                            EXPECT_EQ(platform::FindControl(d, 1055, Scope::Page), nullptr);
                            EXPECT_EQ(dialog.sheet.GetTabControl().GetCurSel(), 1);
                            EXPECT_EQ(dialog.alien.mirror, 440);  // taken when the page was left
                        }),
                        Action::SelectTab(0), Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    EXPECT_FALSE(radioBefore);
    EXPECT_TRUE(radioAfter);
    EXPECT_EQ(g_log, (std::vector<std::string>{"alien init", "alien set", "alien scroll 1055", "alien kill",
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
    ScriptScope script({Action::MoveSlider(1055, 300), Action::SelectTab(1),
                        Action::Inspect([&](WindowHandle) {
                            dialog.alien.mirror = 123;  // what the page will show when it comes back
                        }),
                        Action::SelectTab(0),
                        Action::Inspect([&](WindowHandle d) { shown = In<CSliderCtrl>(d, 1055).GetPos(); }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(shown, 123);
}

TEST(PropertySheet, TabWalksIntoTheActivePageAndArrowsSwitchTabs) {
    SheetDialog dialog;
    std::vector<int> focus;
    auto look = [&](WindowHandle) { focus.push_back(CWnd(platform::portable::FocusedWindow()).GetDlgCtrlID()); };
    ScriptScope script({Action::Focus(kLinked), Action::Press(Key::Tab), Action::Inspect(look),
                        Action::Press(Key::Right), Action::Inspect([&](WindowHandle) {
                            EXPECT_EQ(dialog.sheet.GetActiveIndex(), 1);
                        }),
                        Action::Press(Key::Tab), Action::Inspect(look), Action::Press(Key::Tab), Action::Inspect(look),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    // The sheet's tab control, then the Communicator page's first sliders.
    EXPECT_EQ(focus, (std::vector<int>{0x3020, 1031, 1032}));
}

TEST(PropertySheet, RemovingTheActivePageActivatesItsNeighbour) {
    g_log.clear();
    SheetDialog dialog;
    ScriptScope script({Action::SelectTab(1), Action::Inspect([&](WindowHandle) {
                            g_log.clear();
                            dialog.sheet.RemovePage(1);
                            EXPECT_EQ(dialog.sheet.GetActiveIndex(), 0);
                            EXPECT_EQ(dialog.radio.GetSafeHwnd(), nullptr);
                            EXPECT_EQ(dialog.sheet.GetTabControl().GetItemCount(), 1);
                        }),
                        Action::Close()});
    dialog.DoModal();
    EXPECT_EQ(g_log, (std::vector<std::string>{"radio kill", "alien set"}));
}

// --- Application title ------------------------------------------------------------

TEST(Application, TitleIsTheBaseNameOfTheModuleHoldingTheAppObject) {
    ASSERT_NE(AfxGetApp(), nullptr);
    void* plugin = dlopen(TOVANA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    ASSERT_NE(AfxGetApp(), nullptr);
    EXPECT_EQ(AfxGetApp()->title(), "ZentrixTvn");
    ScriptScope script({}, true);
    AfxMessageBox("Hello.");
    EXPECT_EQ(script.source().messageBoxes().at(0).box.caption, "ZentrixTvn");
    dlclose(plugin);
}

}  // namespace
