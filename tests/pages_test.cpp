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
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_HOP_FREQ_DEV), 10);
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_HOP_PERIOD), 1);
            EXPECT_FALSE(c.Checked(IDC_ALIENATOR_HOP_ENABLED));
            for (int id : {IDC_ALIENATOR_HOP_FREQ_DEV_EDIT, IDC_ALIENATOR_HOP_PERIOD_EDIT, IDC_ALIENATOR_SMOOTH,
                           IDC_ALIENATOR_HOP_FREQ_DEV,
                           IDC_ALIENATOR_HOP_PERIOD}) EXPECT_FALSE(c.Enabled(id)) << id;
        }),
        Action::MoveSlider(IDC_ALIENATOR_CARRIER_FREQ, 440),
        Action::Focus(IDC_ALIENATOR_SQUELCH),
        Action::Press(Key::Right),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Text(IDC_ALIENATOR_CARRIER_FREQ_EDIT), "440");
            EXPECT_EQ(TheEffectSettings().alienator.carrierFreq, 440.0);
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_SQUELCH), -89);
            EXPECT_EQ(c.Text(IDC_ALIENATOR_SQUELCH_EDIT), "-89");
            EXPECT_EQ(TheEffectSettings().alienator.squelch, -89.0);
        }),
        Action::Click(IDC_ALIENATOR_HOP_ENABLED),
        Look([](const Controls& c) {
            EXPECT_EQ(TheEffectSettings().alienator.hopEnabled, 1.0);
            for (int id : {IDC_ALIENATOR_HOP_FREQ_DEV_EDIT, IDC_ALIENATOR_HOP_PERIOD_EDIT, IDC_ALIENATOR_SMOOTH,
                           IDC_ALIENATOR_HOP_FREQ_DEV,
                           IDC_ALIENATOR_HOP_PERIOD}) EXPECT_TRUE(c.Enabled(id)) << id;
        }),
        Action::Click(IDC_ALIENATOR_SMOOTH),
        Action::Click(IDC_ALIENATOR_HOP_ENABLED),
        Look([](const Controls& c) {
            EXPECT_EQ(TheEffectSettings().alienator.hopEnabled, 0.0);
            EXPECT_EQ(TheEffectSettings().alienator.smoothEnabled, 1.0);
            EXPECT_TRUE(c.Checked(IDC_ALIENATOR_SMOOTH)) << "Smooth keeps its state while disabled";
            for (int id : {IDC_ALIENATOR_HOP_FREQ_DEV_EDIT, IDC_ALIENATOR_HOP_PERIOD_EDIT, IDC_ALIENATOR_SMOOTH,
                           IDC_ALIENATOR_HOP_FREQ_DEV,
                           IDC_ALIENATOR_HOP_PERIOD}) EXPECT_FALSE(c.Enabled(id)) << id;
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(Stored(Last("Alienator"), "Carrier Freq"), 440.0);
    EXPECT_EQ(Stored(Last("Alienator"), "Smooth Enabled"), 1.0);
}

TEST_F(PagesTest, AlienatorPresetsShowAsTheyAreUntilCommitted) {
    const DialogRun run = RunDialog({
        Action::SelectListText(IDC_PRESET_LIST, "Computer"),
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
            EXPECT_TRUE(c.Checked(IDC_ALIENATOR_HOP_ENABLED));
            EXPECT_TRUE(c.Enabled(IDC_ALIENATOR_HOP_FREQ_DEV));
            EXPECT_EQ(c.Text(IDC_ALIENATOR_HOP_PERIOD_EDIT), "150");
        }),
        Action::SelectListText(IDC_PRESET_LIST, "Bounty Hunter"),
        Look([](const Controls& c) {
            // Below the sliders' minima: the settings and edits hold 0 ...
            EXPECT_EQ(TheEffectSettings().alienator.hopFreqDev, 0.0);
            EXPECT_EQ(TheEffectSettings().alienator.hopPeriod, 0.0);
            EXPECT_EQ(c.Text(IDC_ALIENATOR_HOP_FREQ_DEV_EDIT), "0");
            EXPECT_EQ(c.Slider(IDC_ALIENATOR_HOP_FREQ_DEV), 10);
            EXPECT_FALSE(c.Enabled(IDC_ALIENATOR_HOP_FREQ_DEV));
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
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
            EXPECT_FALSE(c.Enabled(IDC_COMMUNICATOR_CHANGING_STATIC));
            EXPECT_FALSE(c.Enabled(IDC_COMMUNICATOR_CHANGING_STATIC_EDIT));
            EXPECT_EQ(c.Slider(IDC_COMMUNICATOR_FULLNESS), 5500);
        }),
        Action::MoveSlider(IDC_COMMUNICATOR_FREQUENCY, 300),
        Action::MoveSlider(IDC_COMMUNICATOR_FULLNESS, 200),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(IDC_COMMUNICATOR_FULLNESS), 300);
            EXPECT_EQ(c.Text(IDC_COMMUNICATOR_FULLNESS_EDIT), "300");
            EXPECT_EQ(TheEffectSettings().communicator.fullness, 300.0);
            EXPECT_EQ(TheEffectSettings().communicator.frequency, 300.0);
        }),
        Action::MoveSlider(IDC_COMMUNICATOR_SENSITIVITY, -40),
        Action::MoveSlider(IDC_COMMUNICATOR_SQUELCH, -20),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(IDC_COMMUNICATOR_SQUELCH), -40);
            EXPECT_EQ(c.Text(IDC_COMMUNICATOR_SQUELCH_EDIT), "-40");
            EXPECT_EQ(c.Text(IDC_COMMUNICATOR_SENSITIVITY_EDIT), "-40");
            EXPECT_EQ(TheEffectSettings().communicator.squelch, -40.0);
            EXPECT_EQ(TheEffectSettings().communicator.sensitivity, -40.0);
        }),
        Action::Click(IDC_COMMUNICATOR_VARIATION),
        Action::MoveSlider(IDC_COMMUNICATOR_CHANGING_STATIC, 35),
        Action::Click(IDC_COMMUNICATOR_VARIATION),
        Look([](const Controls& c) {
            EXPECT_FALSE(c.Enabled(IDC_COMMUNICATOR_CHANGING_STATIC));
            EXPECT_EQ(c.Slider(IDC_COMMUNICATOR_CHANGING_STATIC), 35);
            EXPECT_EQ(TheEffectSettings().communicator.changingStaticEnabled, 0.0);
            EXPECT_EQ(TheEffectSettings().communicator.changingStatic, 35.0);
        }),
        Action::SelectListText(IDC_PRESET_LIST, "Mission Control"),
        Look([](const Controls& c) {
            EXPECT_TRUE(c.Checked(IDC_COMMUNICATOR_ALIASING));
            EXPECT_EQ(TheEffectSettings().communicator.aliasing, 1.0);
            EXPECT_EQ(c.Slider(IDC_COMMUNICATOR_FULLNESS), 3500);
        }),
        Action::Press(Key::Escape),
    });
    EXPECT_PLAYED(run);
}

TEST_F(PagesTest, OnlyTheActivePageIsCommitted) {
    const DialogRun run = RunDialog({
        Action::SelectTab(1),
        Action::Click(IDC_COMMUNICATOR_ALIASING),
        Look([](const Controls&) { EXPECT_EQ(TheEffectSettings().communicator.aliasing, 0.0); }),
        Action::SelectTab(0),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(settings().communicator.aliasing, 0.0);
    EXPECT_EQ(Stored(Last("Communicator"), "Aliasing"), 0.0);

    const DialogRun again = RunDialog({
        Action::SelectTab(1),
        Action::Click(IDC_COMMUNICATOR_ALIASING),
        Action::SelectTab(2),
        // Shown again, the page shows the state it was left with.
        Action::SelectTab(1),
        Look([](const Controls& c) { EXPECT_TRUE(c.Checked(IDC_COMMUNICATOR_ALIASING)); }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(again);
    EXPECT_EQ(settings().communicator.aliasing, 1.0);
    EXPECT_EQ(Stored(Last("Communicator"), "Aliasing"), 1.0);
}

TEST_F(PagesTest, DeepenatorShowsStoredValuesUnclampedAndCommitsTheSlider) {
    ASSERT_EQ(RunDialog({Action::Click(platform::kIdOk, Scope::Dialog)}).result, 1);
    StoreDouble(Last("Deepenator"), "Comb Delay Left", 500.0);
    StoreDouble(Last("Deepenator"), "Pitch Scale Right", 2.7);
    const DialogRun run = RunDialog({
        Action::SelectTab(2),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Slider(IDC_DEEPENATOR_COMB_DELAY_LEFT), 200);
            EXPECT_EQ(c.Text(IDC_DEEPENATOR_COMB_DELAY_LEFT_EDIT), "500");
            EXPECT_EQ(c.Slider(IDC_DEEPENATOR_PITCH_SCALE_RIGHT), 2);
            EXPECT_EQ(c.Text(IDC_DEEPENATOR_PITCH_SCALE_RIGHT_EDIT), "2");
        }),
        Action::MoveSlider(IDC_DEEPENATOR_PITCH_SCALE_LEFT, -5),
        Action::MoveSlider(IDC_DEEPENATOR_REVERB_DELAY_RIGHT, -30),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Text(IDC_DEEPENATOR_PITCH_SCALE_LEFT_EDIT), "-5");
            EXPECT_EQ(TheEffectSettings().deepenator.pitchScaleLeft, -5.0);
            EXPECT_EQ(c.Slider(IDC_DEEPENATOR_REVERB_DELAY_RIGHT), 1);
        }),
        Action::Click(IDC_DEEPENATOR_RANDOM_REVERB_DELAY),
        Action::Click(platform::kIdOk, Scope::Dialog),
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
        Action::Click(IDC_CYLONATOR_NOISE_RIGHT),
        Look([](const Controls& c) {
            EXPECT_FALSE(c.Enabled(IDC_CYLONATOR_PITCH_RIGHT));
            EXPECT_FALSE(c.Enabled(IDC_CYLONATOR_PITCH_RIGHT_EDIT));
            EXPECT_TRUE(c.Enabled(IDC_CYLONATOR_AMPLITUDE_RIGHT));
            EXPECT_TRUE(c.Enabled(IDC_CYLONATOR_PITCH_LEFT));
            EXPECT_EQ(TheEffectSettings().cylonator.noiseRightEnabled, 0.0);
        }),
        Action::SelectListText(IDC_PRESET_LIST, "Alien Whisper"),
        Look([](const Controls& c) {
            EXPECT_TRUE(c.Checked(IDC_CYLONATOR_NOISE_LEFT));
            EXPECT_TRUE(c.Checked(IDC_CYLONATOR_NOISE_RIGHT));
            for (int id : {IDC_CYLONATOR_PITCH_LEFT, IDC_CYLONATOR_PITCH_LEFT_EDIT, IDC_CYLONATOR_PITCH_RIGHT,
                           IDC_CYLONATOR_PITCH_RIGHT_EDIT}) EXPECT_FALSE(c.Enabled(id)) << id;
            EXPECT_EQ(c.Slider(IDC_CYLONATOR_AMPLITUDE_RIGHT), 25);
        }),
        Action::SelectListText(IDC_PRESET_LIST, "Battle Droid"),
        Action::Click(IDC_CYLONATOR_NOISE_LEFT),
        Action::MoveSlider(IDC_CYLONATOR_FREQ, 100),
        Look([](const Controls& c) {
            EXPECT_EQ(c.Text(IDC_CYLONATOR_FREQ_EDIT), "100");
            EXPECT_EQ(TheEffectSettings().cylonator.freq, 100.0);
            EXPECT_FALSE(c.Enabled(IDC_CYLONATOR_PITCH_LEFT));
            EXPECT_TRUE(c.Enabled(IDC_CYLONATOR_PITCH_RIGHT));
        }),
        Action::Click(platform::kIdOk, Scope::Dialog),
    });
    EXPECT_PLAYED(run);
    EXPECT_EQ(settings().cylonator.noiseLeftEnabled, 1.0);
    EXPECT_EQ(settings().cylonator.noiseRightEnabled, 0.0);
    EXPECT_EQ(settings().cylonator.pitchLeft, 52.0);
    EXPECT_EQ(settings().activeEffect, 3);
}

}  // namespace
