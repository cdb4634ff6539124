// The portable dialog framework driven by scripts: what only it does (the
// window model, keyboard, message boxes, event sources, geometry); the
// promises every backend keeps are in tests/contract/framework_contract.cpp.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/event_source.h"
#include "platform/framework.h"
#include "platform/window_model.h"
#include "tests/framework_test_support.h"

namespace {

using platform::Action;
using platform::Key;
using platform::Scope;
using platform::WindowHandle;

using namespace framework_test;

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
                        Action::Inspect([&](WindowHandle d) { selected = In<CListBox>(d,
                                                             kPresetList).GetCurSel(); }),
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
    ScriptScope script({Action::Click(kLinked), Action::Inspect(look), Action::Click(kLinked),
                        Action::Inspect(look),
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
    actions.insert(actions.end(), {Action::Inspect([](WindowHandle d) { In(d,
                                                                       kDeleteButton).EnableWindow(false); }),
                                   Action::Press(Key::ShiftTab), Action::Inspect(look), Action::Press(Key::ShiftTab),
                                   Action::Inspect(look), Action::Close()});
    ScriptScope script(actions);
    dialog.DoModal();
    EXPECT_EQ(script.source().error(), "");
    // Statics, group boxes and the read-only edits are no tab stops.
    EXPECT_EQ(focus, (std::vector<int>{kOk, kCancel, kPresetList, kSaveButton, kDeleteButton, kWetSlider,
                                       kDrySlider, kLinked, kOk, kLinked, kDrySlider}));
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
                            CWnd placeholder = In(d, IDC_SHEET_FRAME);
                            placeholder.GetWindowRect(&frame);
                            client = frame;
                            CWnd(d).ScreenToClient(&client);
                            EXPECT_FALSE(placeholder.IsWindowVisible());
                        }),
                        Action::Close()});
    dialog.DoModal();
    // The frame is 7, 7, 190, 183 in dialog units.
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
    EXPECT_EQ(focus, (std::vector<int>{0x3020, IDC_COMMUNICATOR_FULLNESS, IDC_COMMUNICATOR_FREQUENCY}));
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
