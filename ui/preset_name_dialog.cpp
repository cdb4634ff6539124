#include "ui/preset_name_dialog.h"

PresetNameDialog::PresetNameDialog(std::string& name, CWnd* parent)
    : CDialog(kTemplateId, parent), m_name(name) {}

void PresetNameDialog::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, kNameEdit, m_text); }

// Blanks are a name like any other; only the empty name is refused here.
// Whether a name may be stored is for the caller to decide.
void PresetNameDialog::OnOK() {
    UpdateData(true);
    m_name = m_text;
    if (m_text.empty()) {
        AfxMessageBox("You must give the preset a name before it can be saved!",
                      platform::kMbOk | platform::kMbIconExclamation);
        return;
    }
    CDialog::OnOK();
}
