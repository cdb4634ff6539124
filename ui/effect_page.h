// The frame shared by the four effect pages: a property page of the effect
// sheet that shows its effect's block of EffectSettings on sliders, value
// edits and check boxes, writes the user's changes back, and carries out the
// effect's registry and preset operations through its CEffectStore base.
//
// A page class adds only what is its own: its control orders (PageLayout),
// how ShowSettings walks its controls, its click rules and, on the
// Communicator, the rule for its slider pairs. Ranges, defaults, registry
// names, control ids and presets come from the effect's tables.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "settings/effect_store.h"
#include "settings/presets.h"
#include "settings/setting_tables.h"

struct PageLayout {
    EffectKind kind;
    // Sliders in the order OnInitDialog and ShowSettings set them.
    std::vector<int> sliders;
    // Controls with an integer mirror, in data exchange order: sliders first,
    // then check boxes.
    std::vector<int> mirrored;
    // Controls whose mirror CommitControls stores, in storing order.
    std::vector<int> committed;
};

class EffectPage : public CPropertyPage, public CEffectStore, protected PresetPage {
public:
    EffectPage(const PageLayout& layout, CListBox* presetList);
    ~EffectPage() override;

    EffectKind kind() const { return layout_.kind; }

    // CEffectStore
    void SaveLastSettings(platform::RegKey initKey) override;
    void LoadLastSettings(platform::RegKey initKey) override;
    void CreateKeys(platform::RegKey rootKey, platform::RegKey initKey) override;
    void LoadUserPresets(platform::RegKey rootKey) override;
    void ApplySelectedPreset() override;
    void FillPresetList() override;
    void SavePreset(platform::RegKey rootKey, platform::RegKey presetsKey) override;
    void DeletePreset(platform::RegKey presetsKey) override;
    void CommitControls() override;
    void CreateBuiltInPresets() override;
    void ShowSettings() override;

    // CPropertyPage
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnHScroll(int scrollCode, int position, CWnd* scrollBar) override;
    bool OnCommand(int id, int notifyCode) override;

    // The integer mirror of a control; for tests and the page classes.
    int Mirror(int control) const;

protected:
    // A slider of the page moved: the frame's rule writes "%d" of the
    // position into its edit and stores the position as the setting.
    virtual void OnSliderMoved(int slider);
    // A check box of the page was clicked; false when it has no click rule.
    virtual bool OnCheckBoxClicked(int box);

    // PresetPage
    bool AskPresetName(std::string* name) override;
    void RefuseBuiltInDelete(const std::string& name) override;

    // Helpers for the page classes.
    const EffectTable& table() const { return TableOf(layout_.kind); }
    double* OwnBlock() const;
    const SettingInfo& RowOf(int control) const;
    static double ValueOf(const void* block, const SettingInfo& row);
    double ValueOf(const void* block, int control) const { return ValueOf(block, RowOf(control)); }
    // Slider positions from the block, in the page's slider order.
    void ShowSliders(const void* block);
    // The value edit of `slider` with "%d" of its setting in the block.
    void ShowEdit(int slider, const void* block);
    void ShowEdits(std::initializer_list<int> sliders, const void* block);
    void ShowCheck(int box, const void* block);
    void EnableControls(std::initializer_list<int> controls, bool enable);
    int SliderPos(int slider) const;
    void WriteEdit(int slider, int value);
    void StoreSetting(int control, double value);

private:
    PageLayout layout_;
    std::vector<int> mirrors_;  // parallel to layout_.mirrored
};

// A double shown on a control: truncated toward zero; values no int can
// hold are pinned to the int range, and a NaN shows as 0.
int TruncateToInt(double value);
// "%d" of a value.
std::string IntText(int value);
