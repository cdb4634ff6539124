// The registry store: every effect's last settings, the page that was active
// last and the user presets, under HKEY_CURRENT_USER at
// Software\Kestrum\Zentrix CoolEdit Plugin Tovana.
//
// Every value is a REG_NONE double of exactly 8 bytes. Key and value names
// come from the string table. A failure to open, create, query or read a
// key or value is thrown as the name of that key or value (std::string);
// the dialog operation that started the work catches it and hands it to
// ReportRegistryError, which deletes the whole tree so that the next
// opening starts from defaults.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"
#include "settings/presets.h"
#include "settings/setting_tables.h"

namespace store {

// String ids of the keys and values that are no effect setting.
constexpr unsigned kRootKeyId = IDS_ROOT_KEY;
constexpr unsigned kInitKeyId = IDS_INIT_KEY;
constexpr unsigned kLastActiveEffectId = IDS_LAST_ACTIVE_EFFECT;
constexpr unsigned kParentKeyId = IDS_PARENT_KEY;  // Software\Kestrum
constexpr unsigned kRootNameId = IDS_ROOT_NAME;    // the root's own name below its parent

// The "Last Active Effect" a first run stores: the first page.
constexpr double kFirstRunActiveEffect = 0.0;

// The string with this id from the module's string table.
std::string ResourceString(unsigned id);

// A key opened by one operation and closed when the operation ends, also
// when it ends by a throw.
class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { Close(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;

    platform::RegKey get() const { return key_; }
    platform::RegKey* put() { Close(); return &key_; }
    void Close();

private:
    platform::RegKey key_ = nullptr;
};

// Opens or creates `name` below `parent` into `key`; throws `name` on failure.
void OpenKey(platform::RegKey parent, const std::string& name, platform::RegKey* key);
void CreateKey(platform::RegKey parent, const std::string& name, platform::RegKey* key);
// Closes `key` when it is open and nulls it.
void CloseKey(platform::RegKey* key);

// Reads one setting. A missing value, or one whose size is neither 0 nor 8,
// or a failing read throws the value's name; a value of size 0 leaves the
// setting unchanged.
void ReadSetting(platform::RegKey key, const std::string& name, double* value);
// The same rule without the throw: the value's name when it failed, empty
// when it was read.
std::string ReadSettingProblem(platform::RegKey key, const std::string& name, double* value);
// Writes one setting as its 8 raw bytes; a failing write is not reported.
void WriteSetting(platform::RegKey key, const std::string& name, double value);

// The registry side of each effect's settings and presets, driven by the
// effect's table.
void SaveLastSettings(platform::RegKey initKey, const EffectTable& table);
// Reads the last-settings key into the effect's block (its own mix copy
// included). Showing the settings is the page's business.
void LoadLastSettings(platform::RegKey initKey, const EffectTable& table);
// Reads the effect's last-settings key below `initKey` into `block` (a
// block of the effect's settings type). Returns the first key or value that
// failed, every other value read all the same; empty when complete.
std::string ReadLastSettings(platform::RegKey initKey, const EffectTable& table, void* block);
// The subkeys of a presets key, in the registry's order; false, with none,
// when the key cannot tell its longest name.
bool PresetNames(platform::RegKey presetsKey, std::vector<std::string>* names);
// Reads user preset `name` below `presetsKey` into `values`, one per row of
// the table in its order ("Preset Selection" becomes -1; a value of size 0
// leaves what `values` held). Returns the first key or value that failed;
// empty when complete.
std::string ReadPreset(platform::RegKey presetsKey, const std::string& name, const EffectTable& table,
                       double* values);
void CreateKeys(platform::RegKey rootKey, platform::RegKey initKey, const EffectTable& table);
void LoadUserPresets(platform::RegKey rootKey, EffectModel& effect);
// The preset values of `block` (every setting but "Preset Selection").
void WritePresetValues(platform::RegKey presetKey, const EffectTable& table, const void* block);

}  // namespace store

// The plug-in dialog's side of the store: the four keys it holds open while
// one of its registry operations runs, and the operations themselves, on
// the effects' models the dialog holds. Every failure is thrown as the name
// of the key or value, for the recovery rule.
class RegistryStore {
public:
    explicit RegistryStore(EffectModel* const* effects) : effects_(effects) {}
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    platform::RegKey m_hRootKey = nullptr;
    platform::RegKey m_hInitKey = nullptr;
    platform::RegKey m_hPresetsKey = nullptr;
    platform::RegKey m_hPresetKey = nullptr;

    // What the dialog shows once the store is read: on a first run nothing
    // changes; otherwise `page` becomes the active page and the preset list
    // selects `listSelection` (-1: nothing).
    struct Restored {
        bool firstRun = true;
        int page = 0;
        int listSelection = -1;
    };

    // Opening: creates the tree with the defaults on the first run (storing
    // `activePage` as the last active one), otherwise loads every effect's
    // user presets and last settings into the models.
    Restored InitRegistry(int activePage);
    void CreateRegistryDefaults();
    Restored LoadSettingsFromRegistry();
    void SaveSettingsToRegistry(int activePage);

    // The recovery rule for a thrown key or value name, in two steps so the
    // user reads the first message before the tree goes: close what is
    // open, back the tree up and say so; then delete the tree, which gives
    // a second message only when the deletion fails.
    UserMessage BeginRecovery(const std::string& name);
    bool ResetTree(UserMessage* failure);

    // The keys the Save Preset and Delete Preset buttons work in: the root
    // into m_hRootKey, the effect's presets key into m_hPresetsKey.
    void OpenPresetKeys(int effect);
    void ClosePresetKeys();

private:
    void CloseOpenKeys();

    EffectModel* const* effects_;  // kEffectCount of them, in EffectKind order
};

// The texts of the recovery rule.
extern const char kRegistryReadErrorCaption[];
extern const char kRegistryResetErrorCaption[];
