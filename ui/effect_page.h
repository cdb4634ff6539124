// An effect's page: a property page of the effect sheet that shows its
// effect's block of EffectSettings on sliders, value edits and check boxes,
// writes the user's changes back, and shows its effect's presets in the
// dialog's list. The settings and presets live in the effect's model
// (settings/presets.h), which the dialog holds.
//
// One class serves every effect: its dialog template, control orders, the
// way it shows a block, ranges, defaults, registry names, control ids,
// enabling rules, slider pairs and presets all come from the effect's
// descriptor.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/framework.h"
#include "settings/presets.h"
#include "settings/setting_tables.h"

class EffectPage : public CPropertyPage {
public:
    EffectPage(const EffectTable& effect, CListBox* presetList);
    ~EffectPage() override;

    EffectKind kind() const { return effect_.kind; }
    // The effect's model, which the page shows and edits; set by the dialog
    // before the sheet shows the page.
    void Attach(EffectModel* model) { model_ = model; }

    // The list shows the effect's presets and selects the entry at its
    // "Preset Selection"; the effect's own mix becomes the working mix.
    void FillPresetList();
    // The list's selection becomes the effect's and, when it is an entry,
    // the preset's values become the settings and show on the page.
    void ApplySelectedPreset();
    // Slider and check-box values become the effect's settings.
    void CommitControls();
    void ShowSettings();

    // CPropertyPage
    bool OnInitDialog() override;
    bool OnSetActive() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnHScroll(int scrollCode, int position, CWnd* scrollBar) override;
    bool OnCommand(int id, int notifyCode) override;

    // The integer mirror of a control; for tests.
    int Mirror(int control) const;

    // The preset list entry at `index` and its record (null when the list
    // has no such entry).
    PresetRecord* RecordAt(int index) const;

private:
    // Shows a block (the effect's own or a preset's) on the page's controls,
    // enabling rules included, step by step as the descriptor says.
    void ShowValues(const void* block);

    // A slider of the page moved: the frame's rule writes "%d" of the
    // position into its edit and stores the position as the setting; a
    // slider of a pair is first stopped at the other one.
    void OnSliderMoved(int slider);
    // A check box of the page was clicked: its setting follows it when the
    // layout says so, then its enabling rule applies. False when it has
    // neither.
    bool OnCheckBoxClicked(int box);

    const EffectTable& table() const { return effect_; }
    const PageLayout& layout() const { return effect_.page; }
    double* OwnBlock() const;
    CListBox& presetList() const { return *presetList_; }
    const SettingInfo& RowOf(int control) const;
    static double ValueOf(const void* block, const SettingInfo& row);
    double ValueOf(const void* block, int control) const { return ValueOf(block, RowOf(control)); }
    // Slider positions from the block, in the page's slider order.
    void ShowSliders(const void* block);
    // The value edit of `slider` with "%d" of its setting in the block.
    void ShowEdit(int slider, const void* block);
    void ShowCheck(int box, const void* block);
    // The enabling rule of `box` for its setting in the block, or for the
    // box's new state.
    void ShowEnabling(int box, const void* block);
    void ApplyEnabling(int box, bool checked);
    int SliderPos(int slider) const;
    void WriteEdit(int slider, int value);
    void StoreSetting(int control, double value);

    const EffectTable& effect_;
    CListBox* presetList_;
    EffectModel* model_ = nullptr;
    std::vector<int> mirrored_;  // sliders, then mirrored boxes: data exchange order
    std::vector<int> mirrors_;   // parallel to mirrored_
};

// A double shown on a control: truncated toward zero; values no int can
// hold are pinned to the int range, and a NaN shows as 0.
int TruncateToInt(double value);
// "%d" of a value.
std::string IntText(int value);
