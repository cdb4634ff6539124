// tovana's option checks and the order in which it works the dialog,
// without opening the dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "settings/builtin_presets.h"
#include "tools/apply_options.h"
#include "tools/commands.h"
#include "tools/os.h"
#include "tools/plugin_run.h"
#include "tools/setup_plan.h"

namespace tovana {
namespace {

using Kind = SetupStep::Kind;

// The dialog as a fresh store leaves it: defaults, built-in presets only.
DialogState FreshState() {
    DialogState state;
    for (int e = 0; e < kEffectCount; ++e) {
        WriteDefaults(state.settings, TableOf(e));
        state.presets[e] = PresetList(static_cast<EffectKind>(e), {});
    }
    return state;
}

EffectOptions Opts(std::string effect, std::optional<std::string> preset = std::nullopt,
                   std::vector<std::pair<std::string, std::string>> sets = {},
                   std::optional<std::string> wet = std::nullopt, std::optional<std::string> dry = std::nullopt) {
    EffectOptions options;
    options.effect = std::move(effect);
    options.preset = std::move(preset);
    options.sets = std::move(sets);
    options.wet = std::move(wet);
    options.dry = std::move(dry);
    return options;
}

bool Validate(const EffectOptions& options, SetupRequest* request, std::string* error,
              const DialogState& state = FreshState()) {
    return ValidateOptions(options, state, request, error);
}

// The Communicator's filter band: Fullness over Frequency.
constexpr int kUpper = IDC_COMMUNICATOR_FULLNESS;
constexpr int kLower = IDC_COMMUNICATOR_FREQUENCY;

// The Communicator's bounding rule: a moved upper slider stops at the lower
// one and the other way round; both are held inside the range.
void MoveBounded(int control, int position, int upperControl, int* upper, int* lower) {
    position = std::clamp(position, 50, 5500);
    if (control == upperControl) {
        *upper = std::max(position, *lower);
    } else {
        *lower = std::min(position, *upper);
    }
}

TEST(TovanaPairOrder, ReachesEveryTargetFromEveryStart) {
    const int positions[] = {50, 300, 600, 2600, 3000, 5500};
    for (int upper : positions) {
        for (int lower : positions) {  // also starts where upper < lower (a hand-edited store)
            for (int upperTarget : positions) {
                for (int lowerTarget : positions) {
                    if (upperTarget < lowerTarget) continue;
                    int u = upper;
                    int l = lower;
                    for (const SliderMove& move :
                         OrderPairMoves(kUpper, upper, upperTarget, kLower, lower, lowerTarget)) {
                        MoveBounded(move.control, move.position, kUpper, &u, &l);
                    }
                    EXPECT_EQ(u, upperTarget) << upper << "/" << lower << " -> " << upperTarget << "/" << lowerTarget;
                    EXPECT_EQ(l, lowerTarget) << upper << "/" << lower << " -> " << upperTarget << "/" << lowerTarget;
                }
            }
        }
    }
}

TEST(TovanaPairOrder, MovesOnlyWhatChanges) {
    EXPECT_TRUE(OrderPairMoves(kUpper, 2600, 2600, kLower, 600, 600).empty());
    const auto moves = OrderPairMoves(kUpper, 2600, 2600, kLower, 600, 1000);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].control, kLower);
    EXPECT_EQ(moves[0].position, 1000);
}

// The dialog's mix rules: a click on Linked toggles the stored flag (and on
// setting it pulls Dry to 100 - Wet); a moved slider drags the other along
// while the stored flag is set.
struct Mix {
    bool linked;
    int wet;
    int dry;
};
void Play(const std::vector<MixAction>& actions, Mix* mix) {
    for (const MixAction& action : actions) {
        if (action.click) {
            mix->linked = !mix->linked;
            if (mix->linked) mix->dry = 100 - mix->wet;
        } else if (action.control == kWetSlider) {
            mix->wet = action.position;
            if (mix->linked) mix->dry = 100 - action.position;
        } else {
            mix->dry = action.position;
            if (mix->linked) mix->wet = 100 - action.position;
        }
    }
}

TEST(TovanaMix, BothValuesArriveAndLinkedEndsCleared) {
    for (bool linked : {true, false}) {
        Mix mix{linked, 80, 20};
        Play(MixActions(linked, 30, 50), &mix);
        EXPECT_FALSE(mix.linked);
        EXPECT_EQ(mix.wet, 30);
        EXPECT_EQ(mix.dry, 50);
    }
}

TEST(TovanaMix, OneValueFollowsTheLinkAsTheDialogDoes) {
    Mix mix{true, 100, 0};
    Play(MixActions(true, 70, std::nullopt), &mix);
    EXPECT_TRUE(mix.linked);
    EXPECT_EQ(mix.wet, 70);
    EXPECT_EQ(mix.dry, 30);
    Mix unlinked{false, 100, 0};
    Play(MixActions(false, std::nullopt, 40), &unlinked);
    EXPECT_EQ(unlinked.wet, 100);
    EXPECT_EQ(unlinked.dry, 40);
}

TEST(TovanaValidate, RejectsWithTheValidRangeOrChoices) {
    SetupRequest request;
    std::string error;
    struct Case {
        EffectOptions options;
        const char* mentions;
    };
    const Case cases[] = {
        {Opts("robot"), "alienator, communicator, deepenator, cylonator"},
        {Opts("communicator", std::string("Darth")), "'Stormtrooper'"},
        {Opts("alienator", std::nullopt, {{"Carrier Freq", "6000"}}), "5 to 5000"},
        {Opts("alienator", std::nullopt, {{"Carrier Freq", "44.5"}}), "whole number"},
        {Opts("alienator", std::nullopt, {{"Hop Enabled", "2"}}), "0 or 1"},
        {Opts("deepenator", std::nullopt, {{"Pitch Scale Left", "-13"}}), "-12 to 12"},
        {Opts("alienator", std::nullopt, {{"Fullness", "300"}}), "'Carrier Freq'"},
        {Opts("alienator", std::nullopt, {{"Preset Selection", "2"}}), "--preset"},
        {Opts("cylonator", std::nullopt, {}, std::string("101")), "0 to 100"},
        {Opts("cylonator", std::nullopt, {}, std::nullopt, std::string("-1")), "0 to 100"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Validate(c.options, &request, &error)) << c.mentions;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    }
}

TEST(TovanaValidate, PairBoundsCountThePresetAndTheStore) {
    SetupRequest request;
    std::string error;
    // Stormtrooper has Fullness 2600: a lower edge above it breaks the pair...
    EXPECT_FALSE(Validate(Opts("communicator", std::string("Stormtrooper"), {{"Frequency", "3000"}}), &request,
                                                                              &error));
    EXPECT_NE(error.find("'Fullness' (2600) must not be below 'Frequency' (3000)"), std::string::npos) << error;
    // ...unless the upper edge moves too.
    EXPECT_TRUE(Validate(Opts("communicator", std::string("Stormtrooper"), {{"Frequency", "3000"}, {"Fullness",
                                                                             "4000"}}),
                         &request, &error))
        << error;
    // Without a preset the stored values count: the default Fullness 5500.
    EXPECT_TRUE(Validate(Opts("communicator", std::nullopt, {{"Frequency", "3000"}}), &request, &error)) << error;
    DialogState stored = FreshState();
    stored.settings.communicator.squelch = -20;
    EXPECT_FALSE(Validate(Opts("communicator", std::nullopt, {{"Sensitivity", "-30"}}), &request, &error,
                                                               stored));
}

TEST(TovanaValidate, NamesMatchExactlyFirstThenWithoutCase) {
    SetupRequest request;
    std::string error;
    ASSERT_TRUE(Validate(Opts("Cylonator", std::string("mars attacks!"), {{"pitch left", "30"}, {"Wet Mix",
                                                                           "60"}}),
                         &request, &error))
        << error;
    EXPECT_EQ(request.effect, EffectKind::Cylonator);
    EXPECT_EQ(request.preset, "Mars Attacks!");
    ASSERT_EQ(request.targets.size(), 1u);
    EXPECT_EQ(SettingName(*request.targets[0].setting), "Pitch Left");
    EXPECT_EQ(request.wet, 60);  // the mix is set through the mix sliders

    // A user preset stored under a lower-case variant makes the loose match ambiguous.
    DialogState state = FreshState();
    state.presets[3] = PresetList(EffectKind::Cylonator, {{"mars attacks!", std::vector<double>(11, 1.0), ""}});
    EXPECT_TRUE(Validate(Opts("cylonator", std::string("mars attacks!")), &request, &error, state));
    EXPECT_EQ(request.preset, "mars attacks!");
    EXPECT_FALSE(Validate(Opts("cylonator", std::string("MARS ATTACKS!")), &request, &error, state));
}

TEST(TovanaValidate, WithoutAnEffectTheStoredPageIsUsed) {
    SetupRequest request;
    std::string error;
    DialogState state = FreshState();
    state.lastActiveEffect = 2;
    ASSERT_TRUE(Validate(Opts("", std::nullopt, {{"Comb Delay Left", "20"}}), &request, &error, state)) << error;
    EXPECT_FALSE(request.pickEffect);
    EXPECT_EQ(request.effect, EffectKind::Deepenator);
}

std::vector<Kind> Kinds(const std::vector<SetupStep>& steps) {
    std::vector<Kind> kinds;
    for (const SetupStep& step : steps) kinds.push_back(step.kind);
    return kinds;
}

TEST(TovanaPlan, ControlsThatAreGreyedOutAreEnabledFirstAndRestoredAfter) {
    SetupRequest request;
    std::string error;
    ASSERT_TRUE(Validate(Opts("alienator", std::string("Bounty Hunter"), {{"Hop Period", "200"}}), &request,
                                                                           &error));
    auto steps = PlanSetup(request);
    EXPECT_EQ(Kinds(steps), (std::vector<Kind>{Kind::SelectTab, Kind::SelectPreset, Kind::Enable,
                                               Kind::MoveSlider,
                                               Kind::Restore, Kind::PressOk}));
    EXPECT_EQ(steps[2].control, IDC_ALIENATOR_HOP_ENABLED);
    EXPECT_EQ(steps[2].value, 1);
    EXPECT_EQ(steps[3].control, IDC_ALIENATOR_HOP_PERIOD);
    EXPECT_EQ(steps[4].control, IDC_ALIENATOR_HOP_ENABLED);

    // A noise box greys out its Pitch Multiply slider while checked; asked
    // for both, the slider moves first and the box is checked last.
    ASSERT_TRUE(Validate(Opts("cylonator", std::nullopt, {{"Noise Left Enabled", "1"}, {"Pitch Left", "30"}}),
                                                                                        &request,
                         &error));
    steps = PlanSetup(request);
    EXPECT_EQ(Kinds(steps),
              (std::vector<Kind>{Kind::SelectTab, Kind::Enable, Kind::MoveSlider, Kind::SetCheck,
                                 Kind::PressOk}));
    EXPECT_EQ(steps[1].control, IDC_CYLONATOR_NOISE_LEFT);
    EXPECT_EQ(steps[1].value, 0);
    EXPECT_EQ(steps[3].control, IDC_CYLONATOR_NOISE_LEFT);
    EXPECT_EQ(steps[3].value, 1);
}

TEST(TovanaPlan, PairsMoveTogetherAndTheMixComesLast) {
    SetupRequest request;
    std::string error;
    ASSERT_TRUE(Validate(Opts("communicator", std::nullopt, {{"Squelch", "-40"}, {"Frequency", "500"},
                                                          {"Fullness", "900"}, {"Aliasing", "1"}},
                          std::string("40"), std::string("70")),
                         &request, &error));
    const auto steps = PlanSetup(request);
    EXPECT_EQ(Kinds(steps), (std::vector<Kind>{Kind::SelectTab, Kind::MovePair, Kind::MovePair, Kind::SetCheck,
                                               Kind::SetMix, Kind::PressOk}));
    EXPECT_EQ(steps[1].control, IDC_COMMUNICATOR_FULLNESS);
    EXPECT_TRUE(steps[1].hasValue && steps[1].hasValue2);
    EXPECT_EQ(steps[2].control, IDC_COMMUNICATOR_SENSITIVITY);
    EXPECT_FALSE(steps[2].hasValue);
    EXPECT_EQ(steps[2].value2, -40);
    EXPECT_EQ(steps[4].value, 40);
    EXPECT_EQ(steps[4].value2, 70);
}

TEST(TovanaPlan, NoOptionsOnlyPressesOk) {
    EXPECT_EQ(Kinds(PlanSetup(SetupRequest{})), std::vector<Kind>{Kind::PressOk});
}

TEST(TovanaOptions, FormsAndProblems) {
    ApplyOptions options;
    std::string error;
    ASSERT_TRUE(ParseApplyOptions({"--effect=deepenator", "--set", "Pitch Scale Left=-4", "--seed", "7",
                                   "--selection", "10:99", "in.wav", "out.flac"},
                                  &options, &error))
        << error;
    EXPECT_EQ(options.effect.effect, "deepenator");
    EXPECT_EQ(options.effect.sets[0].first, "Pitch Scale Left");
    EXPECT_EQ(options.effect.sets[0].second, "-4");
    EXPECT_EQ(*options.seed, 7u);
    EXPECT_EQ(*options.selectionLast, 99);
    EXPECT_EQ(options.output, "out.flac");

    ApplyOptions batch;
    ASSERT_TRUE(ParseApplyOptions({"-o", "out", "-j", "2", "a.wav", "b.wav", "c.wav"}, &batch, &error));
    EXPECT_EQ(batch.inputs.size(), 3u);
    EXPECT_EQ(BatchChildArgs(batch, "a.wav", "out/a.wav"),
              (std::vector<std::string>{"apply", "--no-progress", "--", "a.wav", "out/a.wav"}));

    // Each problem is caught by its own check, not by an earlier one.
    const std::vector<std::pair<std::vector<std::string>, const char*>> bad = {
        {{"in.wav"}, "apply takes INPUT OUTPUT"},
        {{"a", "b", "c"}, "apply takes INPUT OUTPUT"},
        {{"--set", "Carrier Freq", "a", "b"}, "--set takes 'NAME=VALUE'"},
        {{"--selection", "9:3", "a", "b"}, "--selection takes FIRST:LAST"},
        {{"--selection", "-1:3", "a", "b"}, "--selection takes FIRST:LAST"},
        {{"--seed", "4294967296", "a", "b"}, "--seed takes a whole number"},
        {{"-j", "2", "a", "b"}, "-j is for a batch"},
        {{"-o", "d", "-j", "0", "a"}, "-j takes a number of files from 1 to 1024 (got '0')"},
        {{"-o", "d", "-j", "1025", "a"}, "(got '1025')"},
        {{"-o", "d", "--jobs=two", "a"}, "(got 'two')"},
        {{"-o", "d", "--spectrogram", "x.png", "a"}, "--spectrogram needs the one-file form"},
        {{"-o", ""}, "-o needs a directory"},
        {{"-o", "d"}, "no INPUT given"},
        {{"--wet"}, "option --wet needs a value"},
        {{"--frobnicate", "a", "b"}, "unknown option --frobnicate"},
    };
    for (const auto& [args, message] : bad) {
        ApplyOptions rejected;
        EXPECT_FALSE(ParseApplyOptions(args, &rejected, &error)) << args[0];
        EXPECT_NE(error.find(message), std::string::npos) << message << ": " << error;
    }
}

// Values a stored preset or a hand-edited store can hold that no slider
// can: never converted before they are checked.
TEST(TovanaValidate, NonNumbersAreCaughtBeforeAnyConversion) {
    SetupRequest request;
    std::string error;
    for (const char* text : {"nan", "inf", "-inf", "1e999"}) {
        EXPECT_FALSE(Validate(Opts("alienator", std::nullopt, {{"Carrier Freq", text}}), &request,
                                                                &error)) << text;
        EXPECT_NE(error.find("5 to 5000"), std::string::npos) << error;
    }
    // A stored NaN shows on its slider as the page shows it: 0, held at the minimum.
    DialogState stored = FreshState();
    stored.settings.communicator.fullness = std::nan("");
    EXPECT_FALSE(Validate(Opts("communicator", std::nullopt, {{"Frequency", "100"}}), &request, &error, stored));
    EXPECT_NE(error.find("'Fullness' (50) must not be below 'Frequency' (100)"), std::string::npos) << error;
    stored.settings.communicator.fullness = -HUGE_VAL;
    EXPECT_FALSE(Validate(Opts("communicator", std::nullopt, {{"Frequency", "100"}}), &request, &error, stored));

    std::vector<double> block(10, 1.0);  // in table order
    block[1] = std::nan("");             // Carrier Freq
    stored.presets[0] = PresetList(EffectKind::Alienator, {{"Broken", block, ""}});
    EXPECT_FALSE(Validate(Opts("alienator", std::string("Broken")), &request, &error, stored));
    EXPECT_NE(error.find("'Broken' of Alienator holds no number for 'Carrier Freq' (nan)"), std::string::npos)
        << error;

    block[1] = 400;
    std::vector<double> pair(15, 1.0);
    pair[4] = 300;  // Fullness
    pair[5] = 900;  // Frequency
    EXPECT_EQ(BrokenPairBound(EffectKind::Communicator, pair), "'Fullness' (300) is below 'Frequency' (900)");
    pair[4] = 900;
    EXPECT_EQ(BrokenPairBound(EffectKind::Communicator, pair), "");
    EXPECT_EQ(BrokenPairBound(EffectKind::Alienator, block), "");
}

TEST(TovanaText, ControlCharactersAreShownEscaped) {
    EXPECT_EQ(Printable("Evil\x1b[2J\r\nname\x7f"), "Evil\\x1b[2J\\x0d\\x0aname\\x7f");
    EXPECT_EQ(Printable("csi \xc2\x9b and \xc3\xa9t\xc3\xa9"), "csi \\u009b and \xc3\xa9t\xc3\xa9");
    EXPECT_EQ(Printable("C:\\Users\\me"), "C:\\Users\\me");
}

TEST(TovanaTemporaries, TheNameCarriesItsWriter) {
    EXPECT_EQ(os::TemporaryPrefix("out/a.wav", 42), "out/.a.wav.tovana-42-");
    EXPECT_EQ(os::TemporaryWriter(".a.wav.tovana-42-x7Yz09"), 42);
    EXPECT_EQ(os::TemporaryWriter(".a.tovana-b.wav.tovana-7-abcdef"), 7);
    for (const char* other : {"a.wav.tovana-42-x7Yz09", ".a.wav.tovana-42-x7Yz0", ".a.wav.tovana--x7Yz09",
                              ".a.wav.tovana-4a-x7Yz09", ".a.wav.tovana-0-x7Yz09", ".a.wav.tovana-42-x7Y.09",
                              ".tovana-42-x7Yz09", ".a.wav.tovana-12345678901-abcdef"}) {
        EXPECT_EQ(os::TemporaryWriter(other), -1) << other;
    }
}

}  // namespace
}  // namespace tovana

namespace tovana {
namespace {

TEST(TovanaSelection, LongestSelectionTheRecordCanAddress) {
    // Byte counts and positions are 32-bit: 4294967295 bytes at most.
    EXPECT_TRUE(SelectionFits(2147483647, 1));
    EXPECT_FALSE(SelectionFits(2147483648, 1));  // past the signed frame numbers too
    EXPECT_TRUE(SelectionFits(1073741823, 2));
    EXPECT_FALSE(SelectionFits(1073741824, 2));
    EXPECT_TRUE(SelectionFits(0, 2));
}

}  // namespace
}  // namespace tovana
