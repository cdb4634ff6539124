// The four effect pages in the dialog: slider moves, click and enabling
// rules, presets shown as ShowSettings shows them, and which page's controls
// are committed when the dialog closes.
#include <gtest/gtest.h>

#include "settings/effect_settings.h"
#include "tests/dialog_script.h"

namespace {

using namespace dialog_test;

class PagesTest : public DialogFixture {
protected:
    const EffectSettings& settings() const { return TheEffectSettings(); }
};

TEST_F(PagesTest, AlienatorSlidersAndTheHoppingSwitch) {
    const DialogRun run = RunDialog({
        Look([](const Controls& c) {
            // Defaults: hopping off and its five controls disabled.
            EXPECT_EQ(c.Slider(1059), 10);
            EXPECT_EQ(c.Slider(1057), 1);
            EXPECT_FALSE(c.Checked(1011));
            for (int id : {1060, 1058, 1025, 1059, 1057}) EXPECT_FALSE(c.Enabled(id)) << id;
        }),
        Action::MoveSlider(1055, 440),
        Action::Focus(1053),
        Action::Press(Key::Right),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Text(1056), "440");
            EXPECT_EQ(TheEffectSettings().alienator.carrierFreq, 440.0);
            EXPECT_EQ(c.Slider(1053), -89);
            EXPECT_EQ(c.Text(1054), "-89");
            EXPECT_EQ(TheEffectSettings().alienator.squelch, -89.0);
        }),
        Action::Click(1011),
        Look([](const Controls& c) {
            EXPECT_EQ(TheEffectSettings().alienator.hopEnabled, 1.0);
            for (int id : {1060, 1058, 1025, 1059, 1057}) EXPECT_TRUE(c.Enabled(id)) << id;
        }),
        Action::Click(1025),
        Action::Click(1011),
        Look([](const Controls& c) {
            EXPECT_EQ(TheEffectSettings().alienator.hopEnabled, 0.0);
            EXPECT_EQ(TheEffectSettings().alienator.smoothEnabled, 1.0);
            EXPECT_TRUE(c.Checked(1025)) << "Smooth keeps its state while disabled";
            for (int id : {1060, 1058, 1025, 1059, 1057}) EXPECT_FALSE(c.Enabled(id)) << id;
        }),
        Action::Click(1, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(Stored(Last("Alienator"), "Carrier Freq"), 440.0);
    EXPECT_EQ(Stored(Last("Alienator"), "Smooth Enabled"), 1.0);
}

TEST_F(PagesTest, AlienatorPresetsShowAsTheyAreUntilCommitted) {
    const DialogRun run = RunDialog({
        Action::SelectListText(1015, "Computer"),
        Look([](const Controls& c) {
            const AlienatorSettings& a = TheEffectSettings().alienator;
            EXPECT_EQ(a.carrierFreq, 400.0);
            EXPECT_EQ(a.squelch, -70.0);
            EXPECT_EQ(a.hopFreqDev, 300.0);
            EXPECT_EQ(a.hopPeriod, 150.0);
            EXPECT_EQ(a.hopEnabled, 1.0);
            EXPECT_EQ(a.smoothEnabled, 1.0);
            EXPECT_EQ(TheEffectSettings().workingMix.wetMix, 100.0);
            EXPECT_EQ(TheEffectSettings().workingMix.mixLinked, 1.0);
            EXPECT_TRUE(c.Checked(1011));
            EXPECT_TRUE(c.Enabled(1059));
            EXPECT_EQ(c.Text(1058), "150");
        }),
        Action::SelectListText(1015, "Bounty Hunter"),
        Look([](const Controls& c) {
            // Below the sliders' minima: the settings and edits hold 0 ...
            EXPECT_EQ(TheEffectSettings().alienator.hopFreqDev, 0.0);
            EXPECT_EQ(TheEffectSettings().alienator.hopPeriod, 0.0);
            EXPECT_EQ(c.Text(1060), "0");
            EXPECT_EQ(c.Slider(1059), 10);
            EXPECT_FALSE(c.Enabled(1059));
        }),
        Action::Click(1, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    // ... until the page is committed.
    EXPECT_EQ(settings().alienator.hopFreqDev, 10.0);
    EXPECT_EQ(settings().alienator.hopPeriod, 1.0);
    EXPECT_EQ(settings().alienator.carrierFreq, 20.0);
}

TEST_F(PagesTest, CommunicatorPairsBoundEachOther) {
    const DialogRun run = RunDialog({
        Action::SelectTab(1),
        Look([](const Controls& c) {
            EXPECT_FALSE(c.Enabled(1040));
            EXPECT_FALSE(c.Enabled(1050));
            EXPECT_EQ(c.Slider(1031), 5500);
        }),
        Action::MoveSlider(1032, 300),
        Action::MoveSlider(1031, 200),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(1031), 300);
            EXPECT_EQ(c.Text(1043), "300");
            EXPECT_EQ(TheEffectSettings().communicator.fullness, 300.0);
            EXPECT_EQ(TheEffectSettings().communicator.frequency, 300.0);
        }),
        Action::MoveSlider(1033, -40),
        Action::MoveSlider(1034, -20),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(1034), -40);
            EXPECT_EQ(c.Text(1047), "-40");
            EXPECT_EQ(c.Text(1045), "-40");
            EXPECT_EQ(TheEffectSettings().communicator.squelch, -40.0);
            EXPECT_EQ(TheEffectSettings().communicator.sensitivity, -40.0);
        }),
        Action::Click(1036),
        Action::MoveSlider(1040, 35),
        Action::Click(1036),
        Look([](const Controls& c) {
            EXPECT_FALSE(c.Enabled(1040));
            EXPECT_EQ(c.Slider(1040), 35);
            EXPECT_EQ(TheEffectSettings().communicator.changingStaticEnabled, 0.0);
            EXPECT_EQ(TheEffectSettings().communicator.changingStatic, 35.0);
        }),
        Action::SelectListText(1015, "Mission Control"),
        Look([](const Controls& c) {
            EXPECT_TRUE(c.Checked(1039));
            EXPECT_EQ(TheEffectSettings().communicator.aliasing, 1.0);
            EXPECT_EQ(c.Slider(1031), 3500);
        }),
        Action::Press(Key::Escape),
    });
    EXPECT_PLAYED(run);
}

TEST_F(PagesTest, OnlyTheActivePageIsCommitted) {
    const DialogRun run = RunDialog({
        Action::SelectTab(1),
        Action::Click(1039),
        Look([](const Controls&) { EXPECT_EQ(TheEffectSettings().communicator.aliasing, 0.0); }),
        Action::SelectTab(0),
        Action::Click(1, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(settings().communicator.aliasing, 0.0);
    EXPECT_EQ(Stored(Last("Communicator"), "Aliasing"), 0.0);

    const DialogRun again = RunDialog({
        Action::SelectTab(1),
        Action::Click(1039),
        Action::SelectTab(2),
        // Shown again, the page shows the state it was left with.
        Action::SelectTab(1),
        Look([](const Controls& c) { EXPECT_TRUE(c.Checked(1039)); }),
        Action::Click(1, Scope::Dialog),
    });
    EXPECT_PLAYED(again);
    EXPECT_EQ(settings().communicator.aliasing, 1.0);
    EXPECT_EQ(Stored(Last("Communicator"), "Aliasing"), 1.0);
}

TEST_F(PagesTest, DeepenatorShowsStoredValuesUnclampedAndCommitsTheSlider) {
    ASSERT_EQ(RunDialog({Action::Click(1, Scope::Dialog)}).result, 1);
    StoreDouble(Last("Deepenator"), "Comb Delay Left", 500.0);
    StoreDouble(Last("Deepenator"), "Pitch Scale Right", 2.7);
    const DialogRun run = RunDialog({
        Action::SelectTab(2),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(1079), 200);
            EXPECT_EQ(c.Text(1080), "500");
            EXPECT_EQ(c.Slider(1064), 2);
            EXPECT_EQ(c.Text(1065), "2");
        }),
        Action::MoveSlider(1063, -5),
        Action::MoveSlider(1067, -30),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Text(1066), "-5");
            EXPECT_EQ(TheEffectSettings().deepenator.pitchScaleLeft, -5.0);
            EXPECT_EQ(c.Slider(1067), 1);
        }),
        Action::Click(1076),
        Action::Click(1, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(settings().deepenator.combDelayLeft, 200.0);
    EXPECT_EQ(settings().deepenator.pitchScaleRight, 2.0);
    EXPECT_EQ(settings().deepenator.randomReverbDelayEnabled, 1.0);
    EXPECT_EQ(Stored(Last("Deepenator"), "Comb Delay Left"), 200.0);
}

TEST_F(PagesTest, CylonatorNoiseBoxesGreyOutThePitchSliders) {
    const DialogRun run = RunDialog({
        Action::SelectTab(3),
        Action::Click(112),
        Look([](const Controls& c) {
            EXPECT_FALSE(c.Enabled(1050));
            EXPECT_FALSE(c.Enabled(1048));
            EXPECT_TRUE(c.Enabled(1052));
            EXPECT_TRUE(c.Enabled(1049));
            EXPECT_EQ(TheEffectSettings().cylonator.noiseRightEnabled, 0.0);
        }),
        Action::SelectListText(1015, "Alien Whisper"),
        Look([](const Controls& c) {
            EXPECT_TRUE(c.Checked(111));
            EXPECT_TRUE(c.Checked(112));
            for (int id : {1049, 1047, 1050, 1048}) EXPECT_FALSE(c.Enabled(id)) << id;
            EXPECT_EQ(c.Slider(1052), 25);
        }),
        Action::SelectListText(1015, "Battle Droid"),
        Action::Click(111),
        Action::MoveSlider(1045, 100),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Text(1046), "100");
            EXPECT_EQ(TheEffectSettings().cylonator.freq, 100.0);
            EXPECT_FALSE(c.Enabled(1049));
            EXPECT_TRUE(c.Enabled(1050));
        }),
        Action::Click(1, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(settings().cylonator.noiseLeftEnabled, 1.0);
    EXPECT_EQ(settings().cylonator.noiseRightEnabled, 0.0);
    EXPECT_EQ(settings().cylonator.pitchLeft, 52.0);
    EXPECT_EQ(settings().activeEffect, 3);
}

}  // namespace
