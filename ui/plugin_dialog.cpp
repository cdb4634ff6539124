#include "ui/plugin_dialog.h"

#include "ui/effect_page.h"

#include "settings/effect_settings.h"
#include "ui/preset_name_dialog.h"
#include "ui/setup.h"

PluginDialog::PluginDialog() : CDialog(kTemplate) {}

PluginDialog::~PluginDialog() {
    for (EffectPage* page : pages_) {
        if (page != nullptr) sheet_.RemovePage(page);
    }
    for (EffectPage*& page : pages_) {
        delete page;
        page = nullptr;
    }
}

EffectPage* PluginDialog::PageOf(int effect) const {
    return FindEffect(effect) != nullptr ? pages_[effect] : nullptr;
}

void PluginDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    WorkingMix& mix = TheEffectSettings().workingMix;
    DDX_Text(dx, kWetEdit, mix.wetMix);
    DDX_Text(dx, kDryEdit, mix.dryMix);
}

bool PluginDialog::OnInitDialog() {
    CDialog::OnInitDialog();

    presetList_ = Item<CListBox>(kPresetList);
    // Each effect's model resets its settings to the defaults and holds its
    // built-in presets, so every opening starts from the defaults.
    for (int effect = 0; effect < kEffectCount; ++effect) {
        models_[effect] = std::make_unique<EffectModel>(kEffects[effect]->kind);
        modelPointers_[effect] = models_[effect].get();
    }
    for (int effect = 0; effect < kEffectCount; ++effect) {
        pages_[effect] = new EffectPage(*kEffects[effect], &presetList_);
    }
    for (int effect = 0; effect < kEffectCount; ++effect) {
        pages_[effect]->Attach(models_[effect].get());
        sheet_.AddPage(pages_[effect]);
    }

    PlaceSheet();

    try {
        const RegistryStore::Restored restored = store_.InitRegistry(ActivePageIndex());
        if (!restored.firstRun) ShowRestored(restored);
    } catch (const std::string& name) {
        ReportRegistryError(name);
        EndDialog(platform::kIdCancel);
        return true;
    }

    ShowMix();
    CenterWindow();
    return true;
}

void PluginDialog::PlaceSheet() {
    sheet_.EnableStackedTabs(false);
    sheet_.Create(this, platform::kWsChild | platform::kWsVisible, 0);
    platform::Rect frame;
    GetDlgItem(kSheetFrame).GetWindowRect(&frame);
    ScreenToClient(&frame);
    sheet_.GetTabControl().MoveWindow(0, 0, frame.Width(), frame.Height(), true);
    sheet_.SetWindowPos(nullptr, frame.left, frame.top, 0, 0,
                        platform::kSwpNoZOrder | platform::kSwpNoSize | platform::kSwpNoActivate);
    // Tab walks from the dialog's controls into the page's.
    sheet_.ModifyStyleEx(0, platform::kWsExControlParent);
    sheet_.ModifyStyle(0, platform::kWsTabStop);
    sheet_.SetActivePage(0);
}

void PluginDialog::ShowRestored(const RegistryStore::Restored& restored) {
    // Only the first page has a window yet; the page it hands over to takes
    // its controls' state as it is left, so they show the loaded values
    // first. A page shown for the first time shows its settings itself.
    pages_[0]->ShowSettings();
    sheet_.SetActivePage(restored.page);
    presetList_.SetCurSel(restored.listSelection);
}

void PluginDialog::ShowMix() {
    const WorkingMix& mix = TheEffectSettings().workingMix;
    CSliderCtrl dry = Item<CSliderCtrl>(kDrySlider);
    CSliderCtrl wet = Item<CSliderCtrl>(kWetSlider);
    dry.SetRange(0, 100);
    dry.SetPos(TruncateToInt(mix.dryMix));
    wet.SetRange(0, 100);
    wet.SetPos(TruncateToInt(mix.wetMix));
    Item<CButton>(kLinkedBox).SetCheck(TruncateToInt(mix.mixLinked) != 0 ? 1 : 0);
    SetDlgItemText(kDryEdit, IntText(dry.GetPos()));
    SetDlgItemText(kWetEdit, IntText(wet.GetPos()));
}

bool PluginDialog::OnCommand(int id, int notifyCode) {
    if (id == kPresetList && notifyCode == platform::kLbnSelChange) {
        OnPresetSelected();
        return true;
    }
    if (notifyCode == platform::kBnClicked) {
        switch (id) {
            case kSavePresetButton: OnSavePreset(); return true;
            case kDeletePresetButton: OnDeletePreset(); return true;
            case kLinkedBox: OnLinkedClicked(); return true;
            default: break;
        }
    }
    return CDialog::OnCommand(id, notifyCode);
}

void PluginDialog::OnHScroll(int scrollCode, int position, CWnd* scrollBar) {
    const int id = scrollBar != nullptr ? scrollBar->GetDlgCtrlID() : 0;
    if (id == kWetSlider || id == kDrySlider) {
        OnMixSliderMoved(id);
        return;
    }
    CDialog::OnHScroll(scrollCode, position, scrollBar);
}

void PluginDialog::OnMixSliderMoved(int slider) {
    WorkingMix& mix = TheEffectSettings().workingMix;
    const bool wetMoved = slider == kWetSlider;
    const int other = wetMoved ? kDrySlider : kWetSlider;
    const int position = Item<CSliderCtrl>(slider).GetPos();
    if (mix.mixLinked != 0.0) {
        const int rest = 100 - position;
        (wetMoved ? mix.dryMix : mix.wetMix) = rest;
        Item<CSliderCtrl>(other).SetPos(rest);
        SetDlgItemText(wetMoved ? kDryEdit : kWetEdit, IntText(rest));
    }
    (wetMoved ? mix.wetMix : mix.dryMix) = position;
    SetDlgItemText(wetMoved ? kWetEdit : kDryEdit, IntText(position));
}

void PluginDialog::OnLinkedClicked() {
    WorkingMix& mix = TheEffectSettings().workingMix;
    if (Item<CButton>(kLinkedBox).GetCheck() == 0) {
        mix.mixLinked = 0.0;
        return;
    }
    mix.mixLinked = 1.0;
    const int dry = 100 - Item<CSliderCtrl>(kWetSlider).GetPos();
    mix.dryMix = dry;
    Item<CSliderCtrl>(kDrySlider).SetPos(dry);
    SetDlgItemText(kDryEdit, IntText(dry));
}

void PluginDialog::OnPresetSelected() {
    EffectPage* page = PageOf(ActivePageIndex());
    if (page == nullptr) return;
    page->ApplySelectedPreset();
    const WorkingMix& mix = TheEffectSettings().workingMix;
    CSliderCtrl dry = Item<CSliderCtrl>(kDrySlider);
    dry.SetPos(TruncateToInt(mix.dryMix));
    SetDlgItemText(kDryEdit, IntText(dry.GetPos()));
    CSliderCtrl wet = Item<CSliderCtrl>(kWetSlider);
    wet.SetPos(TruncateToInt(mix.wetMix));
    SetDlgItemText(kWetEdit, IntText(wet.GetPos()));
    Item<CButton>(kLinkedBox).SetCheck(TruncateToInt(mix.mixLinked) != 0 ? 1 : 0);
}

void PluginDialog::OnSavePreset() {
    const int effect = ActivePageIndex();
    EffectPage* page = PageOf(effect);
    if (page == nullptr) return;
    try {
        store_.OpenPresetKeys(effect);
        SavePreset(*page, *models_[effect], store_.m_hPresetsKey);
        store_.ClosePresetKeys();
    } catch (const std::string& name) {
        ReportRegistryError(name);
    }
}

void PluginDialog::OnDeletePreset() {
    const int effect = ActivePageIndex();
    EffectPage* page = PageOf(effect);
    if (page == nullptr) return;
    try {
        store_.OpenPresetKeys(effect);
        DeleteSelectedPreset(*page, *models_[effect], store_.m_hPresetsKey);
        store_.ClosePresetKeys();
    } catch (const std::string& name) {
        ReportRegistryError(name);
    }
}

// The preset holds what the page shows, so its controls are committed first.
void PluginDialog::SavePreset(EffectPage& page, EffectModel& model, platform::RegKey presetsKey) {
    page.CommitControls();
    std::string name;
    PresetNameDialog dialog(name);
    if (dialog.DoModal() != platform::kIdOk) return;
    const UserMessage refusal = presets::SaveRefusal(model, name);
    if (!refusal.text.empty()) {
        ShowMessage(refusal);
        return;
    }
    const int existing = presetList_.FindStringExact(-1, name);
    if (existing >= 0 && ShowMessage(presets::OverwriteQuestion(name)) != platform::kIdYes) return;

    // The old preset goes and the new one arrives with all its values in
    // one change of the store; a throw leaves the store as it was.
    platform::RegistryBatch batch;
    if (existing >= 0) {
        presets::Select(model, existing);
        DeleteSelectedPreset(page, model, presetsKey);
    }
    PresetRecord* kept = presets::Store(model, presetsKey, name);
    batch.Commit();

    const int index = presetList_.AddString(name);
    presets::Select(model, index);
    presetList_.SetItemDataPtr(index, kept);
    presetList_.SetCurSel(index);
}

void PluginDialog::DeleteSelectedPreset(EffectPage& page, EffectModel& model,
                                        platform::RegKey presetsKey) {
    const int index = presets::SelectionToDelete(model, presetList_.GetCount());
    PresetRecord* record = index >= 0 ? page.RecordAt(index) : nullptr;
    if (record == nullptr) {
        ShowMessage({kNoSelectionToDeleteText, MessageKind::Notice, ""});
        return;
    }
    UserMessage refusal;
    if (!presets::Delete(model, presetsKey, record, &refusal)) {
        ShowMessage(refusal);
        return;
    }
    presetList_.DeleteString(index);
}

int PluginDialog::ShowMessage(const UserMessage& message) {
    unsigned type = platform::kMbOk;
    switch (message.kind) {
        case MessageKind::Notice: type = platform::kMbOk; break;
        case MessageKind::Warning: type = platform::kMbOk | platform::kMbIconExclamation; break;
        case MessageKind::Question: type = platform::kMbYesNo | platform::kMbIconQuestion; break;
        case MessageKind::Error: type = platform::kMbOk | platform::kMbIconError; break;
    }
    // Without a caption of its own a message carries the application's title.
    if (message.caption.empty()) return AfxMessageBox(message.text, type);
    return MessageBox(message.text, message.caption, type);
}

void PluginDialog::ReportRegistryError(const std::string& name) {
    ShowMessage(store_.BeginRecovery(name));
    UserMessage failure;
    if (!store_.ResetTree(&failure)) ShowMessage(failure);
}

void PluginDialog::StoreOnClose() {
    EffectPage* page = PageOf(ActivePageIndex());
    if (page == nullptr) return;
    page->CommitControls();
    try {
        store_.SaveSettingsToRegistry(ActivePageIndex());
    } catch (const std::string& name) {
        ReportRegistryError(name);
    }
}

void PluginDialog::OnOK() {
    UpdateData(true);
    TheEffectSettings().activeEffect = ActivePageIndex();
    StoreOnClose();
    EndDialog(platform::kIdOk);
}

void PluginDialog::OnCancel() {
    UpdateData(true);
    StoreOnClose();
    EndDialog(platform::kIdCancel);
}

int PluginDialog::ActivePageIndex() const { return sheet_.GetActiveIndex(); }

int RunPluginDialog() {
    PluginDialog dialog;
    const int result = dialog.DoModal();
    return result == platform::kIdOk || result == platform::kIdCancel ? result : 0;
}
