// Saving, overwriting and deleting presets through the dialog's buttons,
// with the exact texts of every refusal and question.
#include <gtest/gtest.h>

#include "settings/effect_settings.h"
#include "settings/presets.h"
#include "tests/dialog_script.h"

namespace {

using namespace dialog_test;

class PresetsTest : public DialogFixture {
protected:
    static std::string Preset(const char* effect, const std::string& name) {
        return Root() + "\\" + effect + " Presets\\" + name;
    }
};

TEST_F(PresetsTest, SavedPresetIsStoredListedSelectedAndLoadedAgain) {
    const DialogRun run = RunDialog(Script({
        {Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 440), Action::MoveSlider(IDC_WET_SLIDER, 70,
         Scope::Dialog)},
        SaveAs("My Voice"),
        {Look([](const Controls& c) {
             EXPECT_EQ(c.Selected(), "My Voice");
             EXPECT_EQ(c.Entries().size(), 7u);
         }),
         Action::Click(platform::kIdOk, Scope::Dialog)},
    }));
    EXPECT_PLAYED(run);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(Stored(Preset("Alienator", "My Voice"), "Carrier Freq"), 440.0);
    EXPECT_EQ(Stored(Preset("Alienator", "My Voice"), "Wet Mix"), 70.0);
    EXPECT_EQ(Stored(Preset("Alienator", "My Voice"), "Dry Mix"), 30.0);

    std::memset(&TheEffectSettings(), 0, sizeof(EffectSettings));
    const DialogRun next = RunDialog({
        Look([](const Controls& c) {
            EXPECT_EQ(c.Selected(), "My Voice");
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_CARRIER_FREQ), 440);
        }),
        Action::SelectListText(IDC_PRESET_LIST, "Computer"),
        Action::SelectListText(IDC_PRESET_LIST, "My Voice"),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_CARRIER_FREQ), 440);
            EXPECT_EQ(c.Wet(), 70);
        }),
        Action::Press(Key::Escape),
    });
    EXPECT_PLAYED(next);
}

TEST_F(PresetsTest, OverwritingAUserPresetLeavesOneSelectedEntry) {
    const DialogRun run = RunDialog(Script({
        {Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 100)},
        SaveAs("Mine"),
        {Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 900)},
        SaveAs("MINE"),
        {Action::Answer(platform::kIdYes),
         Look([](const Controls& c) {
             const auto entries = c.Entries();
             EXPECT_EQ(std::count(entries.begin(), entries.end(), "MINE"), 1);
             EXPECT_EQ(std::count(entries.begin(), entries.end(), "Mine"), 0);
             EXPECT_EQ(c.Selected(), "MINE");
         })},
        // A name that only begins an existing one asks nothing.
        SaveAs("MIN"),
        {Action::Click(platform::kIdOk, Scope::Dialog)},
    }));
    EXPECT_PLAYED(run);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].box.text, "The preset MINE already exists!  Overwrite?");
    EXPECT_EQ(run.boxes[0].box.type, platform::kMbYesNo | platform::kMbIconQuestion);
    EXPECT_EQ(run.boxes[0].box.caption, AfxGetApp()->title());
    EXPECT_EQ(Stored(Preset("Alienator", "MINE"), "Carrier Freq"), 900.0);
    EXPECT_TRUE(KeyExists(Preset("Alienator", "MIN")));
}

TEST_F(PresetsTest, AnsweringNoChangesNothing) {
    const DialogRun run = RunDialog(Script({
        {Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 100)},
        SaveAs("Mine"),
        {Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 900)},
        SaveAs("mine"),
        {Action::Answer(platform::kIdNo), Action::Click(platform::kIdOk, Scope::Dialog)},
    }));
    EXPECT_PLAYED(run);
    EXPECT_EQ(Stored(Preset("Alienator", "Mine"), "Carrier Freq"), 100.0);
}

TEST_F(PresetsTest, AlienatorBuiltInNames) {
    const DialogRun run = RunDialog(Script({
        SaveAs("Computer"),
        {Action::Answer(platform::kIdOk)},
        SaveAs("computer"),
        {Action::Answer(platform::kIdYes), Action::Answer(platform::kIdOk),
         Look([](const Controls& c) {
             EXPECT_EQ(c.Entries().size(), 7u);
             EXPECT_EQ(c.Selected(), "computer");
         }),
         Action::Press(Key::Escape)},
    }));
    EXPECT_PLAYED(run);
    ASSERT_EQ(run.boxes.size(), 3u);
    EXPECT_EQ(run.boxes[0].box.text, "Computer is a built-in preset and cannot be overwritten!");
    EXPECT_EQ(run.boxes[0].box.type, platform::kMbOk | platform::kMbIconExclamation);
    EXPECT_EQ(run.boxes[1].box.text, "The preset computer already exists!  Overwrite?");
    EXPECT_EQ(run.boxes[2].box.text, "Computer is a built-in preset and cannot be deleted!");
    EXPECT_EQ(run.boxes[2].box.type, platform::kMbOk | platform::kMbIconExclamation);
    EXPECT_TRUE(KeyExists(Preset("Alienator", "computer")));
}

TEST_F(PresetsTest, BuiltInNamesAreRefusedOnEveryPage) {
    const DialogRun run = RunDialog(Script({
        {Action::SelectTab(1)},
        SaveAs("Stormtrooper"),
        {Action::Answer(platform::kIdOk), Action::SelectTab(2)},
        SaveAs("Monster"),
        {Action::Answer(platform::kIdOk), Action::SelectTab(3)},
        SaveAs("Boorg"),
        {Action::Answer(platform::kIdOk), Action::Click(platform::kIdOk, Scope::Dialog)},
    }));
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{
                               "Stormtrooper is a built-in preset and cannot be overwritten!",
                               "Monster is a built-in preset and cannot be overwritten!",
                               "Boorg is a built-in preset and cannot be overwritten!"}));
    EXPECT_FALSE(KeyExists(Preset("Communicator", "Stormtrooper")));
    EXPECT_FALSE(KeyExists(Preset("Deepenator", "Monster")));
    EXPECT_FALSE(KeyExists(Preset("Cylonator", "Boorg")));
}

TEST_F(PresetsTest, NamesTheRegistryCannotHoldAreRefusedBeforeAnythingIsStored) {
    EffectModel model(EffectKind::Alienator);
    for (const std::string& name : {std::string("Left\\Right"), std::string(256, 'x')}) {
        const UserMessage refusal = presets::SaveRefusal(model, name);
        EXPECT_EQ(refusal.text,
                  "A preset name cannot contain a backslash (\\) or be longer than 255 "
                  "characters.  The preset was not saved.");
        EXPECT_EQ(refusal.kind, MessageKind::Warning);
    }
    EXPECT_EQ(presets::SaveRefusal(model, std::string(255, 'x')).text, "");
    EXPECT_EQ(presets::SaveRefusal(model, "Computer").text,
              "Computer is a built-in preset and cannot be overwritten!");
}

TEST_F(PresetsTest, DeleteRules) {
    const DialogRun run = RunDialog(Script({
        {Action::Click(IDC_DELETE_PRESET, Scope::Dialog), Action::Answer(platform::kIdOk),
         Action::SelectListText(IDC_PRESET_LIST, "Secret Agent"), Action::Click(IDC_DELETE_PRESET, Scope::Dialog),
         Action::Answer(platform::kIdOk)},
        SaveAs("Gone Soon"),
        {Action::Click(IDC_DELETE_PRESET, Scope::Dialog),
         Look([](const Controls& c) {
             EXPECT_EQ(c.Selected(), "");
             EXPECT_EQ(c.Entries().size(), 6u);
         }),
         Action::Click(IDC_DELETE_PRESET, Scope::Dialog), Action::Answer(platform::kIdOk),
         Action::SelectTab(2), Action::SelectListText(IDC_PRESET_LIST, "Monster"),
         Action::Click(IDC_DELETE_PRESET, Scope::Dialog), Action::Answer(platform::kIdOk),
         Action::Click(platform::kIdOk, Scope::Dialog)},
    }));
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.Texts(), (std::vector<std::string>{
                               "You must select a preset before you can delete it!!!",
                               "Secret Agent is a built-in preset and cannot be deleted!",
                               "You must select a preset before you can delete it!!!",
                               "This is a built-in preset and it cannot be deleted!!!"}));
    EXPECT_EQ(run.boxes[0].box.type, platform::kMbOk);
    EXPECT_EQ(run.boxes[3].box.type, platform::kMbOk);
    EXPECT_FALSE(KeyExists(Preset("Alienator", "Gone Soon")));
    EXPECT_EQ(TheEffectSettings().alienator.presetSelection, -1.0);
}

TEST_F(PresetsTest, StaleStoredSelectionSelectsNothing) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    StoreDouble(Last("Alienator"), "Preset Selection", 99.0);
    const DialogRun run = RunDialog({
        Look([](const Controls& c) { EXPECT_EQ(c.Selected(), ""); }),
        Action::Click(IDC_DELETE_PRESET, Scope::Dialog),
        Action::Answer(platform::kIdOk),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.Texts(),
              std::vector<std::string>{"You must select a preset before you can delete it!!!"});
    EXPECT_EQ(TheEffectSettings().alienator.presetSelection, 99.0);
}

TEST_F(PresetsTest, CancelledNameDialogSavesNothing) {
    const DialogRun run = RunDialog({
        Action::Click(IDC_SAVE_PRESET, Scope::Dialog),
        Action::Type(IDC_PRESET_NAME, "Never"),
        Action::Press(Key::Escape),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_FALSE(KeyExists(Preset("Alienator", "Never")));
}

TEST_F(PresetsTest, PresetsKeyThatCannotBeOpenedIsReportedAndTheDialogStaysOpen) {
    const DialogRun run = RunDialog({
        Action::Inspect([](platform::WindowHandle) {
            platform::testing::FailRegistryOperation(platform::RegOperation::kOpen,
                                                     "Alienator Presets",
                                                     platform::kErrorFileNotFound);
        }),
        Action::Click(IDC_DELETE_PRESET, Scope::Dialog),
        Action::Answer(platform::kIdOk),
        Look([](const Controls& c) { EXPECT_EQ(c.Entries().size(), 6u); }),
        // Closing finds the tree gone and reports that too; the next
        // opening recreates it.
        Action::Press(Key::Escape),
        Action::Answer(platform::kIdOk),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.result, 2);
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_NE(run.boxes[0].box.text.find("could not find the Alienator Presets registry key"),
              std::string::npos);
    EXPECT_NE(run.boxes[1].box.text.find("could not find the " + Root() + " registry key"),
              std::string::npos);
}

}  // namespace
