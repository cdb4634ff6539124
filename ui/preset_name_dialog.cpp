#include "ui/preset_name_dialog.h"

PresetNameDialog::PresetNameDialog(std::string& name, CWnd* parent)
    : CDialog(kTemplateId, parent), m_name(name) {}

void PresetNameDialog::DoDataExchange(CDataExchange* dx) { DDX_Text(dx, kNameEdit, m_text); }

// Blanks are a name like any other. A name becomes a registry key, so a
// backslash (which would nest keys) and an overlong name (which the
// registry refuses) are turned away here, before they can damage the store.
void PresetNameDialog::OnOK() {
    UpdateData(true);
    m_name = m_text;
    if (m_text.empty()) {
        AfxMessageBox("You must give the preset a name before it can be saved!",
                      platform::kMbOk | platform::kMbIconExclamation);
        return;
    }
    if (m_text.find('\\') != std::string::npos) {
        AfxMessageBox("A preset name cannot contain a backslash!", platform::kMbOk | platform::kMbIconExclamation);
        return;
    }
    if (m_text.size() > kMaxNameLength) {
        AfxMessageBox("A preset name cannot be longer than 255 characters!",
                      platform::kMbOk | platform::kMbIconExclamation);
        return;
    }
    CDialog::OnOK();
}
