// The plug-in dialog driven by scripts: opening on the stored state, the mix
// group, switching pages, OK and Cancel, and the recovery rule at opening.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "host/exports.h"

#include "settings/effect_settings.h"
#include "tests/dialog_script.h"

namespace {

using namespace dialog_test;

const std::vector<std::string> kAlienatorPresets = {
    "AM Radio Distress", "Bounty Hunter", "Computer", "Secret Agent", "Service Droid",
    "Star Fighter Comm Traffic"};

class PluginDialogTest : public DialogFixture {};

TEST_F(PluginDialogTest, FirstRunStoresTheDefaultsAndOpensOnTheAlienator) {
    const DialogRun run = RunDialog({
        Look([&](const Controls& c) {
            EXPECT_TRUE(KeyExists(Root() + "\\Cylonator Presets"));
            EXPECT_EQ(Stored(Init(), "Last Active Effect"), 0.0);
            EXPECT_EQ(Stored(Last("Deepenator"), "Pitch Scale Left"), 0.0);
            EXPECT_EQ(Stored(Last("Communicator"), "Fullness"), 5500.0);
            EXPECT_EQ(Stored(Last("Cylonator"), "Wet Mix"), 100.0);
            EXPECT_EQ(Stored(Last("Alienator"), "Preset Selection"), -1.0);
            EXPECT_EQ(c.Entries(), kAlienatorPresets);
            EXPECT_EQ(c.Selected(), "");
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_CARRIER_FREQ), 5);
            EXPECT_EQ(c.Text(IDC_ALIENATOR_SQUELCH_EDIT), "-90");
            EXPECT_EQ(c.Wet(), 100);
            EXPECT_EQ(c.DryText(), "0");
            EXPECT_TRUE(c.Linked());
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.result, 1);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(TheEffectSettings().activeEffect, 0);
}

TEST_F(PluginDialogTest, OkOnAnotherPageIsRestoredAtTheNextOpening) {
    const DialogRun first = RunDialog({
        Action::SelectTab(2),
        Action::SelectListText(IDC_PRESET_LIST, "Monster"),
        Action::MoveSlider(IDC_WET_SLIDER, 40, Scope::Dialog),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(first);
    EXPECT_EQ(first.result, 1);
    EXPECT_EQ(TheEffectSettings().activeEffect, 2);
    EXPECT_EQ(Stored(Init(), "Last Active Effect"), 2.0);

    std::memset(&TheEffectSettings(), 0, sizeof(EffectSettings));
    const DialogRun second = RunDialog({
        Look([](const Controls& c) {
            EXPECT_EQ(c.Entries(),
                      (std::vector<std::string>{"Dark Lord", "Gender Bender", "Monster", "Poltergeist"}));
            EXPECT_EQ(c.Selected(), "Monster");
            EXPECT_EQ(c.Slider(IDC_DEEPENATOR_REVERB_DELAY_LEFT), 144);  // Monster's left reverb delay
            EXPECT_EQ(c.Wet(), 40);
            EXPECT_EQ(c.Dry(), 60);
            EXPECT_EQ(c.WetText(), "40");
            EXPECT_EQ(c.DryText(), "60");
        }),
        Action::Press(Key::Escape),
    });
    EXPECT_PLAYED(second);
    EXPECT_EQ(second.result, 2);
}

// The store is read before any page but the first has a window: a page
// shown later still shows the stored values, and keeps them when it is left
// and shown again.
TEST_F(PluginDialogTest, APageFirstShownAfterOpeningShowsTheStoredValues) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    StoreDouble(Last("Cylonator"), "Freq", 37.0);
    StoreDouble(Last("Cylonator"), "Pitch Left", 250.0);  // beyond the slider's 100
    StoreDouble(Last("Cylonator"), "Noise Left Enabled", 1.0);
    StoreDouble(Last("Alienator"), "Carrier Freq", 440.0);

    const auto storedValues = [](const Controls& c) {
        EXPECT_EQ(c.Slider(IDC_CYLONATOR_FREQ), 37);
        EXPECT_EQ(c.Text(IDC_CYLONATOR_FREQ_EDIT), "37");
        EXPECT_EQ(c.Slider(IDC_CYLONATOR_PITCH_LEFT), 100);
        EXPECT_EQ(c.Text(IDC_CYLONATOR_PITCH_LEFT_EDIT), "250");
        EXPECT_TRUE(c.Checked(IDC_CYLONATOR_NOISE_LEFT));
        EXPECT_FALSE(c.Checked(IDC_CYLONATOR_NOISE_RIGHT));
    };
    const DialogRun run = RunDialog({
        Look([](const Controls& c) { EXPECT_EQ(c.Slider(IDC_ALIENATOR_CARRIER_FREQ), 440); }),
        Action::SelectTab(3), Look(storedValues),
        Action::SelectTab(0), Look([](const Controls& c) { EXPECT_EQ(c.Slider(IDC_ALIENATOR_CARRIER_FREQ), 440); }),
        Action::SelectTab(3), Look(storedValues),
        Action::Press(Key::Escape),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(TheEffectSettings().cylonator.freq, 37.0);
    EXPECT_EQ(TheEffectSettings().cylonator.pitchLeft, 100.0) << "committed from the slider";
}

TEST_F(PluginDialogTest, CancelKeepsTheChangesButNotTheActiveEffect) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    ASSERT_EQ(TheEffectSettings().activeEffect, 0);

    const DialogRun run = RunDialog({
        Action::SelectTab(1),
        Action::MoveSlider(IDC_COMMUNICATOR_DURATION, 500),
        Action::Press(Key::Escape),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.result, 2);
    EXPECT_EQ(TheEffectSettings().activeEffect, 0);
    EXPECT_EQ(TheEffectSettings().communicator.duration, 500.0);
    EXPECT_EQ(Stored(Last("Communicator"), "Duration"), 500.0);

    const DialogRun next = RunDialog({
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(IDC_COMMUNICATOR_DURATION), 500);
            EXPECT_EQ(c.Text(IDC_COMMUNICATOR_DURATION_EDIT), "500");
            EXPECT_EQ(c.Entries().size(), 5u);
        }),
        Action::Close(),
    });
    EXPECT_PLAYED(next);
    EXPECT_EQ(next.result, 2);
}

TEST_F(PluginDialogTest, LinkedAndUnlinkedMixMoves) {
    const DialogRun run = RunDialog({
        Action::MoveSlider(IDC_WET_SLIDER, 30, Scope::Dialog),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Dry(), 70);
            EXPECT_EQ(c.WetText(), "30");
            EXPECT_EQ(c.DryText(), "70");
            EXPECT_EQ(TheEffectSettings().workingMix.wetMix, 30.0);
            EXPECT_EQ(TheEffectSettings().workingMix.dryMix, 70.0);
        }),
        Action::MoveSlider(IDC_DRY_SLIDER, 0, Scope::Dialog),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Wet(), 100);
            EXPECT_EQ(c.WetText(), "100");
        }),
        // Unlinked, the sliders move alone.
        Action::Click(IDC_LINKED, Scope::Dialog),
        Action::MoveSlider(IDC_WET_SLIDER, 80, Scope::Dialog),
        Action::MoveSlider(IDC_DRY_SLIDER, 50, Scope::Dialog),
        Look([](const Controls& c) {
            EXPECT_EQ(TheEffectSettings().workingMix.mixLinked, 0.0);
            EXPECT_EQ(c.Wet(), 80);
            EXPECT_EQ(c.Dry(), 50);
        }),
        // Linking again pulls Dry to 100 - Wet; Wet stays.
        Action::Click(IDC_LINKED, Scope::Dialog),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Wet(), 80);
            EXPECT_EQ(c.Dry(), 20);
            EXPECT_EQ(c.DryText(), "20");
            EXPECT_EQ(TheEffectSettings().workingMix.dryMix, 20.0);
            EXPECT_EQ(TheEffectSettings().workingMix.mixLinked, 1.0);
        }),
        Action::SelectTab(3),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    // Switching pages loaded the Cylonator's own mix (100, 0) into the
    // working mix, but OK takes the mix back from the edits that show it.
    EXPECT_EQ(TheEffectSettings().workingMix.wetMix, 80.0);
    EXPECT_EQ(TheEffectSettings().workingMix.dryMix, 20.0);
    for (const char* effect : {"Alienator", "Communicator", "Deepenator", "Cylonator"}) {
        EXPECT_EQ(Stored(Last(effect), "Wet Mix"), 80.0) << effect;
        EXPECT_EQ(Stored(Last(effect), "Dry Mix"), 20.0) << effect;
        EXPECT_EQ(Stored(Last(effect), "Mix Linked"), 1.0) << effect;
    }
}

TEST_F(PluginDialogTest, SelectingAPresetRefreshesTheMixGroup) {
    const DialogRun run = RunDialog({
        Action::Click(IDC_LINKED, Scope::Dialog),
        Action::SelectListText(IDC_PRESET_LIST, "AM Radio Distress"),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Wet(), 80);
            EXPECT_EQ(c.Dry(), 20);
            EXPECT_EQ(c.WetText(), "80");
            EXPECT_EQ(c.DryText(), "20");
            EXPECT_TRUE(c.Linked());
            EXPECT_EQ(c.Selected(), "AM Radio Distress");
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(TheEffectSettings().alienator.presetSelection, 0.0);
    EXPECT_EQ(Stored(Last("Alienator"), "Preset Selection"), 0.0);
}

TEST_F(PluginDialogTest, StoredMixOutsideTheSliderShowsAtItsEnd) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    StoreDouble(Last("Alienator"), "Wet Mix", 150.0);
    const DialogRun run = RunDialog({
        Look([](const Controls& c) {
            EXPECT_EQ(c.Wet(), 100);
            EXPECT_EQ(c.WetText(), "100");
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(TheEffectSettings().workingMix.wetMix, 100.0);
}

TEST_F(PluginDialogTest, DamagedStoreIsReportedAndTheDialogEnds) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    RemoveValue(Last("Alienator"), "Squelch");

    const DialogRun run = RunDialog({Action::Answer(platform::kIdOk)});
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.result, 2);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].box.caption, "Zentrix CoolEdit Plugin Tovana: Registry Read Error");
    EXPECT_EQ(run.boxes[0].box.text.rfind("The plugin could not find the Squelch registry key.  ", 0), 0u);
    EXPECT_EQ(run.boxes[0].box.type, platform::kMbOk | platform::kMbIconError);
    EXPECT_FALSE(KeyExists(Root()));

    const DialogRun next = RunDialog({
        Look([](const Controls& c) { EXPECT_EQ(c.Slider(IDC_ALIENATOR_SQUELCH), -90); }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(next);
    EXPECT_EQ(next.result, 1);
    EXPECT_TRUE(next.boxes.empty());
    EXPECT_EQ(Stored(Last("Alienator"), "Squelch"), -90.0);
}

TEST_F(PluginDialogTest, FailedStoreAtOkStillEndsWithOk) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    const DialogRun run = RunDialog({
        Action::SelectTab(3),
        Action::Inspect([](platform::WindowHandle) {
            platform::testing::FailRegistryOperation(platform::RegOperation::kOpen, "Init",
                                                     platform::kErrorFileNotFound);
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
        Action::Answer(platform::kIdOk),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(TheEffectSettings().activeEffect, 3);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_NE(run.boxes[0].box.text.find("could not find the Init registry key"), std::string::npos);
}

// The editor's view: the plug-in module reports 1 for OK and 0 otherwise,
// and OK makes the active page the effect that processing runs.
TEST_F(PluginDialogTest, XfmSetupReturnsOneOnlyForOk) {
    void* module = dlopen(TOVANA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto setup = reinterpret_cast<decltype(&XfmSetup)>(dlsym(module, "XfmSetup"));
    ASSERT_NE(setup, nullptr);

    auto play = [&](std::vector<Action> actions) {
        platform::ScriptedEventSource source(std::move(actions));
        platform::SetEventSource(&source);
        const int result = setup(0, 0, 0);
        platform::SetEventSource(nullptr);
        EXPECT_EQ(source.error(), "");
        return result;
    };
    EXPECT_EQ(play({Action::SelectTab(1), Action::Click(platform::kIdOk, Scope::Dialog)}), 1);
    EXPECT_EQ(Stored(Init(), "Last Active Effect"), 1.0);
    EXPECT_EQ(play({Action::SelectTab(3), Action::Press(Key::Escape)}), 0);
    EXPECT_EQ(play({Action::Close()}), 0);
    EXPECT_EQ(play({Action::Press(Key::Enter)}), 1);
    dlclose(module);
}

}  // namespace
