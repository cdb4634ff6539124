// Data exchange between dialog controls and variables, the same on every
// platform: it reaches the controls only through the framework's wrappers.
#include <cstdio>
#include <cstdlib>

#include "platform/framework.h"
#include "platform/framework_common.h"

void CDataExchange::Fail() { throw platform::DataExchangeFailure{}; }

void DDX_Slider(CDataExchange* dx, int id, int& position) {
    CSliderCtrl slider = dx->m_pDlgWnd->Item<CSliderCtrl>(id);
    if (dx->m_bSaveAndValidate) {
        position = slider.GetPos();
    } else {
        slider.SetPos(position);
    }
}

void DDX_Check(CDataExchange* dx, int id, int& state) {
    CButton button = dx->m_pDlgWnd->Item<CButton>(id);
    if (dx->m_bSaveAndValidate) {
        state = button.GetCheck();
    } else {
        button.SetCheck(state);
    }
}

void DDX_Text(CDataExchange* dx, int id, std::string& value) {
    if (dx->m_bSaveAndValidate) {
        value = dx->m_pDlgWnd->GetDlgItemText(id);
    } else {
        dx->m_pDlgWnd->SetDlgItemText(id, value);
    }
}

namespace {

// A number with optional blanks around it and nothing else.
bool ParseDouble(const std::string& text, double* value) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '\0') return false;
    char* end = nullptr;
    double parsed = std::strtod(begin, &end);
    if (end == begin) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return false;
    *value = parsed;
    return true;
}

}  // namespace

// Written with 15 significant digits, read back with strtod. Text that is
// no number leaves the variable alone: the user is told, the control gets
// the focus, and the exchange fails.
void DDX_Text(CDataExchange* dx, int id, double& value) {
    if (!dx->m_bSaveAndValidate) {
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", value);
        dx->m_pDlgWnd->SetDlgItemText(id, text);
        return;
    }
    double parsed = 0.0;
    if (!ParseDouble(dx->m_pDlgWnd->GetDlgItemText(id), &parsed)) {
        AfxMessageBox("Please enter a number.", platform::kMbOk | platform::kMbIconExclamation);
        dx->m_pDlgWnd->GetDlgItem(id).SetFocus();
        dx->Fail();
    }
    value = parsed;
}
