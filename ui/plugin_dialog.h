// The plug-in's one modal window: the effect sheet on the left, the active
// effect's preset list with Save Preset and Delete Preset on the right, and
// the Wet/Dry mix below. It restores the last state from the registry when
// it opens and stores everything again when it closes, with OK or Cancel;
// only OK makes the active page the effect that processing runs.
#pragma once

#include <memory>
#include <string>

#include "platform/framework.h"
#include "settings/presets.h"
#include "settings/registry_store.h"
#include "settings/resource_ids.h"
#include "ui/effect_sheet.h"

class EffectPage;

class PluginDialog : public CDialog {
public:
    enum Control {
        kWetEdit = IDC_WET_EDIT,
        kDryEdit = IDC_DRY_EDIT,
        kWetSlider = IDC_WET_SLIDER,
        kDrySlider = IDC_DRY_SLIDER,
        kLinkedBox = IDC_LINKED,
        kSavePresetButton = IDC_SAVE_PRESET,
        kPresetList = IDC_PRESET_LIST,
        kDeletePresetButton = IDC_DELETE_PRESET,
        kSheetFrame = IDC_SHEET_FRAME,
    };
    static constexpr int kTemplate = IDD_PLUGIN_DIALOG;

    PluginDialog();
    ~PluginDialog() override;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(int id, int notifyCode) override;
    void OnHScroll(int scrollCode, int position, CWnd* scrollBar) override;

private:
    EffectPage* PageOf(int effect) const;
    int ActivePageIndex() const;
    // The loaded state on the pages: the page active last is activated with
    // its list selection.
    void ShowRestored(const RegistryStore::Restored& restored);
    void PlaceSheet();
    void ShowMix();
    void OnMixSliderMoved(int slider);
    void OnLinkedClicked();
    void OnPresetSelected();
    void OnSavePreset();
    void OnDeletePreset();
    void SavePreset(EffectPage& page, EffectModel& model, platform::RegKey presetsKey);
    void DeleteSelectedPreset(EffectPage& page, EffectModel& model, platform::RegKey presetsKey);
    // A message of the settings model in a message box; returns the answer.
    int ShowMessage(const UserMessage& message);
    // The recovery rule for a thrown key or value name.
    void ReportRegistryError(const std::string& name);
    // Commits the active page and stores everything; a registry failure is
    // reported, and the dialog closes all the same.
    void StoreOnClose();

    CEffectSheet sheet_;
    CListBox presetList_;
    EffectPage* pages_[kEffectCount] = {};
    // The settings model: each effect's block and presets.
    std::unique_ptr<EffectModel> models_[kEffectCount];
    EffectModel* modelPointers_[kEffectCount] = {};
    RegistryStore store_{modelPointers_};
};
