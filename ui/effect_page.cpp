#include "ui/effect_page.h"

#include <algorithm>
#include <cmath>

#include "settings/registry_store.h"
#include "ui/preset_name_dialog.h"

namespace {

const char kBuiltInDeleteText[] = "This is a built-in preset and it cannot be deleted!!!";

bool Contains(const std::vector<int>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

}  // namespace

int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value <= -2147483648.0) return -2147483647 - 1;
    if (value >= 2147483647.0) return 2147483647;
    return static_cast<int>(value);
}

std::string IntText(int value) { return std::to_string(value); }

EffectPage::EffectPage(const PageLayout& layout, CListBox* presetList)
    : CPropertyPage(TableOf(layout.kind).pageTemplate),
      CEffectStore(presetList),
      layout_(layout) {
    WriteDefaults(TheEffectSettings(), table());
    for (int control : layout_.mirrored) {
        mirrors_.push_back(TruncateToInt(RowOf(control).defaultValue));
    }
    CreateBuiltInPresets();
}

EffectPage::~EffectPage() = default;

double* EffectPage::OwnBlock() const {
    return static_cast<double*>(BlockOf(TheEffectSettings(), table()));
}

const SettingInfo& EffectPage::RowOf(int control) const {
    const EffectTable& effect = table();
    for (std::size_t i = 0; i < effect.settingCount; ++i) {
        if (effect.settings[i].control == control) return effect.settings[i];
    }
    // The page layouts name only controls of their own table.
    return effect.settings[0];
}

double EffectPage::ValueOf(const void* block, const SettingInfo& row) {
    return BlockValue(block, row);
}

int EffectPage::Mirror(int control) const {
    for (std::size_t i = 0; i < layout_.mirrored.size(); ++i) {
        if (layout_.mirrored[i] == control) return mirrors_[i];
    }
    return 0;
}

// --- Registry and presets ----------------------------------------------------

void EffectPage::SaveLastSettings(platform::RegKey initKey) {
    store::SaveLastSettings(initKey, table());
}

void EffectPage::LoadLastSettings(platform::RegKey initKey) {
    store::LoadLastSettings(initKey, table());
    ShowSettings();
}

void EffectPage::CreateKeys(platform::RegKey rootKey, platform::RegKey initKey) {
    store::CreateKeys(rootKey, initKey, table());
}

void EffectPage::LoadUserPresets(platform::RegKey rootKey) {
    store::LoadUserPresets(rootKey, table(), *this);
}

void EffectPage::ApplySelectedPreset() { presets::ApplySelected(*this, table(), *this); }

void EffectPage::FillPresetList() { presets::FillList(*this, table()); }

void EffectPage::SavePreset(platform::RegKey rootKey, platform::RegKey presetsKey) {
    presets::Save(*this, table(), *this, rootKey, presetsKey);
}

void EffectPage::DeletePreset(platform::RegKey presetsKey) {
    presets::Delete(*this, table(), *this, presetsKey);
}

void EffectPage::CreateBuiltInPresets() { presets::CreateBuiltIns(*this, table()); }

bool EffectPage::AskPresetName(std::string* name) {
    std::string typed;
    PresetNameDialog dialog(typed);
    if (dialog.DoModal() != platform::kIdOk) return false;
    *name = typed;
    return true;
}

void EffectPage::RefuseBuiltInDelete(const std::string&) {
    AfxMessageBox(kBuiltInDeleteText, platform::kMbOk);
}

// --- Controls ---------------------------------------------------------------

void EffectPage::CommitControls() {
    UpdateData(true);
    for (int control : layout_.committed) StoreSetting(control, Mirror(control));
}

void EffectPage::ShowSettings() {
    // Loading the stored settings may come before the page has a window.
    if (!IsWindow()) return;
    ShowValues(OwnBlock());
}

bool EffectPage::OnInitDialog() {
    const void* block = OwnBlock();
    for (int slider : layout_.sliders) {
        const SettingInfo& row = RowOf(slider);
        CSliderCtrl control = Item<CSliderCtrl>(slider);
        control.SetRange(static_cast<int>(row.minimum), static_cast<int>(row.maximum), true);
        control.SetLineSize(1);
        control.SetPos(TruncateToInt(ValueOf(block, row)));
    }
    ShowSettings();
    return CPropertyPage::OnInitDialog();
}

bool EffectPage::OnSetActive() {
    FillPresetList();
    ShowSettings();
    return CPropertyPage::OnSetActive();
}

void EffectPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPage::DoDataExchange(dx);
    for (std::size_t i = 0; i < layout_.mirrored.size(); ++i) {
        const int control = layout_.mirrored[i];
        if (Contains(layout_.sliders, control)) {
            DDX_Slider(dx, control, mirrors_[i]);
        } else {
            DDX_Check(dx, control, mirrors_[i]);
        }
    }
}

void EffectPage::OnHScroll(int scrollCode, int position, CWnd* scrollBar) {
    const int id = scrollBar != nullptr ? scrollBar->GetDlgCtrlID() : 0;
    if (id != 0 && Contains(layout_.sliders, id)) {
        OnSliderMoved(id);
        return;
    }
    CPropertyPage::OnHScroll(scrollCode, position, scrollBar);
}

bool EffectPage::OnCommand(int id, int notifyCode) {
    if (notifyCode == platform::kBnClicked && OnCheckBoxClicked(id)) return true;
    return CPropertyPage::OnCommand(id, notifyCode);
}

void EffectPage::OnSliderMoved(int slider) {
    const int position = SliderPos(slider);
    WriteEdit(slider, position);
    StoreSetting(slider, position);
}

bool EffectPage::OnCheckBoxClicked(int) { return false; }

void EffectPage::ShowSliders(const void* block) {
    for (int slider : layout_.sliders) {
        Item<CSliderCtrl>(slider).SetPos(TruncateToInt(ValueOf(block, slider)));
    }
}

void EffectPage::ShowEdit(int slider, const void* block) {
    WriteEdit(slider, TruncateToInt(ValueOf(block, slider)));
}

void EffectPage::ShowEdits(std::initializer_list<int> sliders, const void* block) {
    for (int slider : sliders) ShowEdit(slider, block);
}

void EffectPage::ShowCheck(int box, const void* block) {
    Item<CButton>(box).SetCheck(TruncateToInt(ValueOf(block, box)) != 0 ? 1 : 0);
}

void EffectPage::EnableControls(std::initializer_list<int> controls, bool enable) {
    for (int control : controls) GetDlgItem(control).EnableWindow(enable);
}

int EffectPage::SliderPos(int slider) const { return Item<CSliderCtrl>(slider).GetPos(); }

void EffectPage::WriteEdit(int slider, int value) {
    SetDlgItemText(RowOf(slider).valueEdit, IntText(value));
}

void EffectPage::StoreSetting(int control, double value) {
    BlockValue(OwnBlock(), RowOf(control)) = value;
}
