// What `tovana apply` asks of the plug-in's dialog, checked against the
// setting tables, and the order in which a user would reach it: pick the
// effect's tab, select the preset, set the page's controls, set the mix,
// press OK.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/framework.h"
#include "settings/effect_settings.h"
#include "settings/resource_ids.h"
#include "settings/setting_tables.h"
#include "tools/store_view.h"

namespace tovana {

// The effect options exactly as given on the command line.
struct EffectOptions {
    std::string effect;                                    // empty: the page active last
    std::optional<std::string> preset;
    std::vector<std::pair<std::string, std::string>> sets;  // NAME, VALUE in order given
    std::optional<std::string> wet;
    std::optional<std::string> dry;

    bool empty() const { return effect.empty() && !preset && sets.empty() && !wet && !dry; }
};

// What the dialog will show before the options act: the stored page, the
// stored values (or defaults) and the presets of each effect.
struct DialogState {
    int lastActiveEffect = 0;
    EffectSettings settings{};
    std::vector<ListedPreset> presets[kEffectCount];
};
DialogState CurrentDialogState();  // from the registry store

struct SettingTarget {
    const SettingInfo* setting;
    int value;
};

// A request that the dialog can carry out.
struct SetupRequest {
    bool pickEffect = false;  // select the effect's tab
    EffectKind effect = EffectKind::Alienator;
    std::string preset;  // list text; empty: none
    std::vector<SettingTarget> targets;  // in table order
    std::optional<int> wet;
    std::optional<int> dry;
};

// The first slider pair of `effect` whose upper value lies below the lower
// one in `block` (the effect's whole block, in table order), as
// "'Fullness' (40) is below 'Frequency' (50)"; empty when none does.
std::string BrokenPairBound(EffectKind effect, const std::vector<double>& block);

// Checks every option; on a problem returns false with a message naming the
// valid range or choices.
bool ValidateOptions(const EffectOptions& options, const DialogState& state, SetupRequest* request,
                     std::string* error);

// One step of the dialog session. Steps that depend on what the dialog
// shows (a check box's state, slider positions) are resolved while it runs.
struct SetupStep {
    enum class Kind {
        SelectTab,    // value: the effect's page
        SelectPreset, // text: the list entry
        Enable,       // control: a check box that enables others; value: its enabling state
        SetCheck,     // control: check box; value: 0 or 1
        Restore,      // control: the check box of an earlier Enable back to its state then
        MoveSlider,   // control: page slider; value: position
        MovePair,     // control/value: upper slider, control2/value2: lower; hasValue/hasValue2
        SetMix,       // hasValue: value is Wet; hasValue2: value2 is Dry
        PressOk,
        PressCancel,
    };
    Kind kind = Kind::PressOk;
    int control = 0;
    int value = 0;
    int control2 = 0;
    int value2 = 0;
    bool hasValue = false;
    bool hasValue2 = false;
    std::string text;

    static SetupStep Make(Kind kind, int control = 0, int value = 0) {
        SetupStep step;
        step.kind = kind;
        step.control = control;
        step.value = value;
        return step;
    }
};
std::vector<SetupStep> PlanSetup(const SetupRequest& request);

// Dialog control ids the session uses.
constexpr int kOkButton = platform::kIdOk;
constexpr int kWetSlider = IDC_WET_SLIDER;
constexpr int kDrySlider = IDC_DRY_SLIDER;
constexpr int kLinkedCheck = IDC_LINKED;
constexpr int kPresetList = IDC_PRESET_LIST;

struct SliderMove {
    int control;
    int position;
};
// Moves of a bounded pair (upper slider never below lower, a moved slider
// being stopped at the other) that end at the targets from any start.
std::vector<SliderMove> OrderPairMoves(int upperControl, int upper, int upperTarget, int lowerControl, int lower,
                                       int lowerTarget);

// The mix clicks and moves: with both values "Linked" is cleared first (a
// click while checked; set and clear while not, so the stored flag ends at 0
// whatever the box showed).
struct MixAction {
    bool click;  // click Linked; else move `control` to `position`
    int control;
    int position;
};
std::vector<MixAction> MixActions(bool linkedChecked, std::optional<int> wet, std::optional<int> dry);

}  // namespace tovana
