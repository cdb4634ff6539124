#include "ui/plugin_dialog.h"

#include "settings/effect_settings.h"
#include "ui/alienator_page.h"
#include "ui/communicator_page.h"
#include "ui/cylonator_page.h"
#include "ui/deepenator_page.h"
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
    return effect >= 0 && effect < kEffectCount ? pages_[effect] : nullptr;
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
    pages_[0] = new CAlienator(&presetList_);
    sheet_.AddPage(pages_[0]);
    pages_[1] = new CCommunicator(&presetList_);
    sheet_.AddPage(pages_[1]);
    pages_[2] = new CDeepenator(&presetList_);
    sheet_.AddPage(pages_[2]);
    pages_[3] = new CCylonator(&presetList_);
    sheet_.AddPage(pages_[3]);

    PlaceSheet();

    try {
        InitRegistry();
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
        OpenPresetKeys(effect);
        page->SavePreset(m_hRootKey, m_hPresetsKey);
        ClosePresetKeys();
    } catch (const std::string& name) {
        ReportRegistryError(name);
    }
}

void PluginDialog::OnDeletePreset() {
    const int effect = ActivePageIndex();
    EffectPage* page = PageOf(effect);
    if (page == nullptr) return;
    try {
        OpenPresetKeys(effect);
        page->DeletePreset(m_hPresetsKey);
        ClosePresetKeys();
    } catch (const std::string& name) {
        ReportRegistryError(name);
    }
}

void PluginDialog::StoreOnClose() {
    EffectPage* page = PageOf(ActivePageIndex());
    if (page == nullptr) return;
    page->CommitControls();
    try {
        SaveSettingsToRegistry();
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

CEffectStore& PluginDialog::StoreOf(int effect) { return *PageOf(effect); }

void PluginDialog::ActivatePage(int effect) { sheet_.SetActivePage(effect); }

int PluginDialog::ActivePageIndex() const { return sheet_.GetActiveIndex(); }

void PluginDialog::SelectPresetEntry(int index) { presetList_.SetCurSel(index); }

int PluginDialog::ShowRegistryMessage(const std::string& text, const std::string& caption,
                                      unsigned type) {
    return MessageBox(text, caption, type);
}

int RunPluginDialog() {
    PluginDialog dialog;
    const int result = dialog.DoModal();
    return result == platform::kIdOk || result == platform::kIdCancel ? result : 0;
}
