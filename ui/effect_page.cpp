#include "ui/effect_page.h"

#include <algorithm>
#include <cmath>

namespace {

template <class List>
bool Contains(const List& ids, int id) {
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

EffectPage::EffectPage(const EffectTable& effect, CListBox* presetList)
    : CPropertyPage(effect.pageTemplate),
      effect_(effect),
      presetList_(presetList),
      mirrored_(effect.page.sliders) {
    mirrored_.insert(mirrored_.end(), effect.page.mirroredBoxes.begin(), effect.page.mirroredBoxes.end());
    for (int control : mirrored_) {
        mirrors_.push_back(TruncateToInt(RowOf(control).defaultValue));
    }
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
    for (std::size_t i = 0; i < mirrored_.size(); ++i) {
        if (mirrored_[i] == control) return mirrors_[i];
    }
    return 0;
}

// --- Presets -----------------------------------------------------------------

PresetRecord* EffectPage::RecordAt(int index) const {
    void* data = presetList_->GetItemDataPtr(index);
    if (data == reinterpret_cast<void*>(-1)) return nullptr;
    return static_cast<PresetRecord*>(data);
}

void EffectPage::FillPresetList() {
    CListBox& list = *presetList_;
    list.ResetContent();
    for (const auto& entry : model_->collection()) {
        const int index = list.AddString(entry.first);
        list.SetItemDataPtr(index, entry.second);
    }
    list.SetCurSel(presets::Activate(*model_));
}

void EffectPage::ApplySelectedPreset() {
    const int selected = presetList_->GetCurSel();
    const PresetRecord* record = selected >= 0 ? RecordAt(selected) : nullptr;
    if (presets::Apply(*model_, selected, record) != nullptr) ShowValues(record->block());
}

// --- Controls ---------------------------------------------------------------

void EffectPage::CommitControls() {
    UpdateData(true);
    if (layout().committed.size() == 0) {
        for (int control : mirrored_) StoreSetting(control, Mirror(control));
        return;
    }
    for (int control : layout().committed) StoreSetting(control, Mirror(control));
}

void EffectPage::ShowSettings() {
    if (!IsWindow()) return;
    ShowValues(OwnBlock());
}

bool EffectPage::OnInitDialog() {
    const void* block = OwnBlock();
    for (int slider : layout().sliders) {
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
    for (std::size_t i = 0; i < mirrored_.size(); ++i) {
        const int control = mirrored_[i];
        if (Contains(layout().sliders, control)) {
            DDX_Slider(dx, control, mirrors_[i]);
        } else {
            DDX_Check(dx, control, mirrors_[i]);
        }
    }
}

void EffectPage::OnHScroll(int scrollCode, int position, CWnd* scrollBar) {
    const int id = scrollBar != nullptr ? scrollBar->GetDlgCtrlID() : 0;
    if (id != 0 && Contains(layout().sliders, id)) {
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
    for (const SliderPair& pair : table().sliderPairs) {
        if (slider != pair.upper && slider != pair.lower) continue;
        const int other = slider == pair.upper ? pair.lower : pair.upper;
        CSliderCtrl moved = Item<CSliderCtrl>(slider);
        const int otherPos = SliderPos(other);
        if (slider == pair.upper && moved.GetPos() < otherPos) moved.SetPos(otherPos);
        if (slider == pair.lower && moved.GetPos() > otherPos) moved.SetPos(otherPos);
        const int position = moved.GetPos();
        WriteEdit(slider, position);
        StoreSetting(slider, position);
        StoreSetting(other, otherPos);
        return;
    }
    const int position = SliderPos(slider);
    WriteEdit(slider, position);
    StoreSetting(slider, position);
}

bool EffectPage::OnCheckBoxClicked(int box) {
    const bool stored = Contains(layout().storedOnClick, box);
    const EnablingRule* rule = EnablingRuleOf(table(), box);
    if (!stored && rule == nullptr) return false;
    const bool checked = Item<CButton>(box).GetCheck() != 0;
    if (stored) StoreSetting(box, checked ? 1.0 : 0.0);
    if (rule != nullptr) ApplyEnabling(box, checked);
    return true;
}

void EffectPage::ShowValues(const void* block) {
    for (const ShowStep& step : layout().show) {
        switch (step.kind) {
            case ShowStep::Sliders: ShowSliders(block); break;
            case ShowStep::Edits:
                for (int slider : step.controls) ShowEdit(slider, block);
                break;
            case ShowStep::Checks:
                for (int box : step.controls) ShowCheck(box, block);
                break;
            case ShowStep::Enabling:
                for (int box : step.controls) ShowEnabling(box, block);
                break;
        }
    }
}

void EffectPage::ShowSliders(const void* block) {
    for (int slider : layout().sliders) {
        Item<CSliderCtrl>(slider).SetPos(TruncateToInt(ValueOf(block, slider)));
    }
}

void EffectPage::ShowEdit(int slider, const void* block) {
    WriteEdit(slider, TruncateToInt(ValueOf(block, slider)));
}

void EffectPage::ShowCheck(int box, const void* block) {
    Item<CButton>(box).SetCheck(TruncateToInt(ValueOf(block, box)) != 0 ? 1 : 0);
}

void EffectPage::ShowEnabling(int box, const void* block) {
    ApplyEnabling(box, ValueOf(block, box) != 0.0);
}

void EffectPage::ApplyEnabling(int box, bool checked) {
    const EnablingRule* rule = EnablingRuleOf(table(), box);
    if (rule == nullptr) return;
    const bool enable = checked == rule->usableWhenChecked;
    for (int control : rule->controls) GetDlgItem(control).EnableWindow(enable);
}

int EffectPage::SliderPos(int slider) const { return Item<CSliderCtrl>(slider).GetPos(); }

void EffectPage::WriteEdit(int slider, int value) {
    SetDlgItemText(RowOf(slider).valueEdit, IntText(value));
}

void EffectPage::StoreSetting(int control, double value) {
    BlockValue(OwnBlock(), RowOf(control)) = value;
}
