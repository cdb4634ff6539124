// The plug-in's one modal window: the effect sheet on the left, the active
// effect's preset list with Save Preset and Delete Preset on the right, and
// the Wet/Dry mix below. It restores the last state from the registry when
// it opens and stores everything again when it closes, with OK or Cancel;
// only OK makes the active page the effect that processing runs.
#pragma once

#include <string>

#include "platform/framework.h"
#include "settings/registry_store.h"
#include "ui/effect_sheet.h"

class EffectPage;

class PluginDialog : public CDialog, protected RegistryStore {
public:
    enum Control {
        kWetEdit = 112,
        kDryEdit = 113,
        kWetSlider = 1003,
        kDrySlider = 1004,
        kLinkedBox = 1008,
        kSavePresetButton = 1012,
        kPresetList = 1015,
        kDeletePresetButton = 1026,
        kSheetFrame = 1030,
    };
    static constexpr int kTemplate = 1000;

    PluginDialog();
    ~PluginDialog() override;

    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(int id, int notifyCode) override;
    void OnHScroll(int scrollCode, int position, CWnd* scrollBar) override;

protected:
    // RegistryStore
    CEffectStore& StoreOf(int effect) override;
    void ActivatePage(int effect) override;
    int ActivePageIndex() const override;
    void SelectPresetEntry(int index) override;
    int ShowRegistryMessage(const std::string& text, const std::string& caption,
                            unsigned type) override;

private:
    EffectPage* PageOf(int effect) const;
    void PlaceSheet();
    void ShowMix();
    void OnMixSliderMoved(int slider);
    void OnLinkedClicked();
    void OnPresetSelected();
    void OnSavePreset();
    void OnDeletePreset();
    // Commits the active page and stores everything; a registry failure is
    // reported, and the dialog closes all the same.
    void StoreOnClose();

    CEffectSheet sheet_;
    CListBox presetList_;
    EffectPage* pages_[kEffectCount] = {};
};
