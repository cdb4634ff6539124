// The preset name dialog driven by scripts: refusal of an empty name,
// names taken exactly as typed, cancelling, and an empty edit at every
// opening.
#include <gtest/gtest.h>

#include <string>

#include "platform/event_source.h"
#include "platform/window_model.h"
#include "settings/resource_ids.h"
#include "tests/framework_test_support.h"
#include "ui/preset_name_dialog.h"

namespace {

using platform::Action;
using platform::Key;
using platform::WindowHandle;

constexpr int kEdit = IDC_PRESET_NAME;
constexpr char kEmptyNameText[] = "You must give the preset a name before it can be saved!";

std::string EditText(WindowHandle dialog) { return CWnd(platform::FindControl(dialog, kEdit)).GetWindowText(); }

TEST(PresetNameDialog, EmptyNameIsRefusedAndTheDialogStaysOpen) {
    std::string name = "left over";
    PresetNameDialog dialog(name);
    std::string editAfterRefusal = "?";
    ScriptScope script({Action::Click(platform::kIdOk), Action::Answer(platform::kIdOk),
                        Action::Inspect([&](WindowHandle d) { editAfterRefusal = EditText(d); }),
                        Action::Type(kEdit, "Robot Voice"), Action::Press(Key::Enter)});
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(script.source().error(), "");
    EXPECT_EQ(name, "Robot Voice");
    EXPECT_EQ(editAfterRefusal, "");
    ASSERT_EQ(script.source().messageBoxes().size(), 1u);
    const platform::MessageBoxInfo& box = script.source().messageBoxes()[0].box;
    EXPECT_EQ(box.text, kEmptyNameText);
    EXPECT_EQ(box.caption, AfxGetApp()->title());
    EXPECT_EQ(box.type, platform::kMbOk | platform::kMbIconExclamation);
}

TEST(PresetNameDialog, BlanksAreANameAndKeptAsTyped) {
    for (const std::string& typed : {std::string(" "), std::string("  Trooper  "), std::string("über/1")}) {
        std::string name;
        PresetNameDialog dialog(name);
        ScriptScope script({Action::Type(kEdit, typed), Action::Press(Key::Enter)});
        EXPECT_EQ(dialog.DoModal(), 1) << typed;
        EXPECT_EQ(name, typed);
        EXPECT_TRUE(script.source().messageBoxes().empty());
    }
}

TEST(PresetNameDialog, EscapeAndTheCloseButtonCancel) {
    for (const Action& cancel : {Action::Press(Key::Escape), Action::Close()}) {
        std::string name = "kept";
        PresetNameDialog dialog(name);
        ScriptScope script({Action::Type(kEdit, "Unsaved"), cancel});
        EXPECT_EQ(dialog.DoModal(), 2);
        EXPECT_EQ(script.source().error(), "");
        EXPECT_EQ(name, "kept");
    }
}

TEST(PresetNameDialog, EditIsEmptyAtEveryOpening) {
    std::string name = "Previous Preset";
    std::string shown[2] = {"?", "?"};
    PresetNameDialog dialog(name);
    {
        ScriptScope script({Action::Inspect([&](WindowHandle d) { shown[0] = EditText(d); }),
                            Action::Type(kEdit, "First"), Action::Press(Key::Enter)});
        ASSERT_EQ(dialog.DoModal(), 1);
    }
    // The same object opened again, right after a name was taken.
    PresetNameDialog again(name);
    {
        ScriptScope script({Action::Inspect([&](WindowHandle d) { shown[1] = EditText(d); }), Action::Close()});
        EXPECT_EQ(again.DoModal(), 2);
    }
    EXPECT_EQ(shown[0], "");
    EXPECT_EQ(shown[1], "");
    EXPECT_EQ(name, "First");
}

// Opened from a button of another dialog (as Save Preset does), the name
// dialog belongs to that dialog, which waits disabled until it closes.
class OuterDialog : public CDialog {
public:
    OuterDialog() : CDialog(IDD_PLUGIN_DIALOG) {}
    bool OnCommand(int id, int code) override {
        if (id != IDC_SAVE_PRESET) return CDialog::OnCommand(id, code);
        PresetNameDialog dialog(name);
        result = dialog.DoModal();
        return true;
    }
    std::string name;
    int result = 0;
};

TEST(PresetNameDialog, BelongsToTheDialogThatOpensIt) {
    OuterDialog outer;
    bool outerEnabled = true;
    bool ownedByOuter = false;
    int focus = 0;
    ScriptScope script({Action::Click(IDC_SAVE_PRESET), Action::Inspect([&](WindowHandle d) {
                            EXPECT_EQ(CWnd(d).GetWindowText(), "Preset Name");
                            ownedByOuter = platform::portable::LookUp(d)->owner == outer.GetSafeHwnd();
                            outerEnabled = outer.IsWindowEnabled();
                            focus = CWnd(platform::portable::FocusedWindow()).GetDlgCtrlID();
                        }),
                        Action::Type(kEdit, "Nested"), Action::Press(Key::Enter),
                        Action::Inspect([&](WindowHandle) { EXPECT_TRUE(outer.IsWindowEnabled()); }),
                        Action::Press(Key::Escape)});
    EXPECT_EQ(outer.DoModal(), 2);
    EXPECT_EQ(script.source().error(), "");
    EXPECT_EQ(outer.result, 1);
    EXPECT_EQ(outer.name, "Nested");
    EXPECT_TRUE(ownedByOuter);
    EXPECT_FALSE(outerEnabled);
    EXPECT_EQ(focus, kEdit);  // the first tab stop
}

}  // namespace
