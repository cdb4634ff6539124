// Every effect's presets, built-in and user, and the preset operations of
// the plug-in dialog, without any window: each operation changes the
// settings, the collection and the store, and hands back what the dialog
// is to show (a list selection, a record to show, a message).
//
// The dialog's preset list is sorted by the list box itself, so its indexes
// are the list's: the dialog passes the entry it found there (index and
// record) and puts into the list what an operation returns.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings/effect_settings.h"
#include "settings/setting_tables.h"

// Every effect block begins with these four fields, in this order.
enum BlockHeadField {
    kPresetSelectionField = 0,
    kWetMixField = 1,
    kDryMixField = 2,
    kMixLinkedField = 3,
};

inline void CopyBlockMix(const double* block, WorkingMix* mix) {
    mix->wetMix = block[kWetMixField];
    mix->dryMix = block[kDryMixField];
    mix->mixLinked = block[kMixLinkedField];
}

inline void CopyMixToBlock(const WorkingMix& mix, double* block) {
    block[kWetMixField] = mix.wetMix;
    block[kDryMixField] = mix.dryMix;
    block[kMixLinkedField] = mix.mixLinked;
}

// A message for the user. The dialog shows it in a message box of the kind
// given, with the caption given or, when there is none, the application's
// title.
enum class MessageKind {
    Notice,    // OK
    Warning,   // OK, exclamation mark
    Question,  // Yes and No, question mark
    Error,     // OK, stop sign
};
struct UserMessage {
    std::string text;
    MessageKind kind = MessageKind::Notice;
    std::string caption;
};

struct PresetRecord {
    std::string name;
    // A copy of the effect's block, field by field; the copy's "Preset
    // Selection" is not used.
    std::vector<double> settings;

    const void* block() const { return settings.data(); }
    void* block() { return settings.data(); }
};

// One effect's part of the settings model: its block of EffectSettings,
// which construction resets to the defaults, and its presets, the built-in
// ones from construction on, the user's once the store has loaded them.
class EffectModel {
public:
    explicit EffectModel(EffectKind kind);
    ~EffectModel();
    EffectModel(const EffectModel&) = delete;
    EffectModel& operator=(const EffectModel&) = delete;

    const EffectTable& table() const { return *table_; }
    // The effect's own block of the process-wide settings.
    double* OwnBlock() const;

    // Every preset of the effect, built-in and user, by name (compared with
    // case). The collection owns its records.
    const std::map<std::string, PresetRecord*>& collection() const { return collection_; }

    // Puts `record` into the collection under its name. A record that loses
    // its place there is kept alive until the presets go, since a list entry
    // may still point to it.
    PresetRecord* Put(std::unique_ptr<PresetRecord> record);
    // Removes `name` from the collection and frees `record`, the record a
    // list entry of that name carried.
    void Remove(const std::string& name, PresetRecord* record);

private:
    const EffectTable* table_;
    std::map<std::string, PresetRecord*> collection_;
    std::vector<PresetRecord*> retired_;
};

// The texts the preset operations show.
extern const char kNoSelectionToDeleteText[];
extern const char kBuiltInDeleteText[];
extern const char kBuiltInOverwriteText[];   // %s: the typed name
extern const char kPresetExistsText[];       // %s: the typed name
extern const char kUnusablePresetNameText[];

namespace presets {

// The longest name the registry takes for one key.
constexpr std::size_t kLongestName = 255;

// "%s" in `format` replaced by `name`.
std::string WithName(const char* format, const std::string& name);

// The effect's page became active: its remembered mix becomes the working
// mix. Returns the list index its "Preset Selection" names (-1: none).
int Activate(const EffectModel& effect);

// The user selected list entry `selected` (-1: none), which carries
// `record`: it becomes the effect's "Preset Selection" and, for a record,
// its values become the effect's settings and the working mix. Returns the
// record to show on the page, or null.
const PresetRecord* Apply(EffectModel& effect, int selected, const PresetRecord* record);

// Why `name` cannot become a new preset of the effect; no text when it can.
UserMessage SaveRefusal(const EffectModel& effect, const std::string& name);
// The question asked before a preset of the same name is replaced.
UserMessage OverwriteQuestion(const std::string& name);
// Stores the effect's settings with the working mix as preset `name` below
// `presetsKey` and keeps it in the collection; the caller has taken the old
// preset of that name away first. Throws the key's name when it cannot be
// created. Returns the new record, for the list entry the caller adds.
PresetRecord* Store(EffectModel& effect, platform::RegKey presetsKey, const std::string& name);
// The effect's "Preset Selection" becomes list index `index`.
void Select(EffectModel& effect, int index);

// The list index of the selected entry when it is one of the `listCount`
// entries; -1 otherwise, which the user is told with kNoSelectionToDeleteText.
int SelectionToDelete(const EffectModel& effect, int listCount);
// Deletes the user preset `record` (the entry at the selection) from the
// collection and below `presetsKey`, and clears the selection; the caller
// takes the entry out of the list. A built-in preset is refused: false,
// with the message in `refusal`.
bool Delete(EffectModel& effect, platform::RegKey presetsKey, PresetRecord* record,
            UserMessage* refusal);

}  // namespace presets
