// Asks for the name under which the active effect's settings are saved as
// a preset. Ends with 1 only for a name that is not empty, which then sits
// in the caller's string exactly as typed; Escape and the close button end
// it with 2.
#pragma once

#include <string>

#include "platform/framework.h"
#include "settings/resource_ids.h"

class PresetNameDialog : public CDialog {
public:
    static constexpr int kTemplateId = IDD_PRESET_NAME;
    static constexpr int kNameEdit = IDC_PRESET_NAME;

    // `name` receives the typed name; without a parent the active window
    // owns the dialog.
    explicit PresetNameDialog(std::string& name, CWnd* parent = nullptr);

    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

private:
    std::string m_text;  // the edit's text; empty at every opening
    std::string& m_name;
};
