// The parts of the framework that are the same on every platform: data
// exchange between controls and variables (it reaches the controls only
// through the framework's wrappers), the default dialog and page handlers,
// the application object, and the module's resource tables.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/framework.h"
#include "platform/framework_common.h"
#include "platform/resource_tables.h"

namespace {

std::vector<CWinApp*>& Applications() {
    static std::vector<CWinApp*> applications;
    return applications;
}

std::vector<const platform::ResourceTables*>& Tables() {
    static std::vector<const platform::ResourceTables*> tables;
    return tables;
}

// ".../ZentrixTvn.xfm" or "C:\...\ZentrixTvn.xfm" gives "ZentrixTvn".
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

// --- The application object ------------------------------------------------

// The title is the base name of the module that contains the object, as a
// library that sets no title of its own gets it on Windows.
CWinApp::CWinApp() : title_(BaseName(platform::detail::ModulePathOf(this))) {
    Applications().push_back(this);
}

CWinApp::~CWinApp() {
    auto& applications = Applications();
    applications.erase(std::remove(applications.begin(), applications.end(), this), applications.end());
}

// With several modules loaded (a test program that also loads the
// plug-in), the latest application object still alive answers.
CWinApp* AfxGetApp() {
    const auto& applications = Applications();
    return applications.empty() ? nullptr : applications.back();
}

// --- Resource tables -------------------------------------------------------

namespace platform {

void RegisterModuleResources(const ResourceTables* tables) {
    if (tables != nullptr) Tables().push_back(tables);
}

void UnregisterModuleResources(const ResourceTables* tables) {
    auto& all = Tables();
    all.erase(std::remove(all.begin(), all.end(), tables), all.end());
}

const ResourceTables* ModuleResources() { return Tables().empty() ? nullptr : Tables().back(); }

const DialogTemplate* FindDialogTemplate(int id) {
    const ResourceTables* tables = ModuleResources();
    if (tables == nullptr) return nullptr;
    for (std::size_t i = 0; i < tables->dialogCount; ++i) {
        if (tables->dialogs[i].id == id) return &tables->dialogs[i];
    }
    return nullptr;
}

}  // namespace platform

// --- Default handlers of dialogs and pages -----------------------------------

bool CDialog::UpdateData(bool saveAndValidate) {
    if (!IsWindow()) return false;
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const platform::DataExchangeFailure&) {
        return false;
    }
    return true;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(platform::kIdOk);
}

void CDialog::OnCancel() { EndDialog(platform::kIdCancel); }

void CDialog::DoDataExchange(CDataExchange*) {}

bool CDialog::OnCommand(int id, int notifyCode) {
    if (notifyCode != platform::kBnClicked) return false;
    if (id == platform::kIdOk) {
        OnOK();
        return true;
    }
    if (id == platform::kIdCancel) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialog::OnHScroll(int, int, CWnd*) {}

CPropertyPage::CPropertyPage(int templateId, unsigned captionId) : CDialog(templateId), captionId_(captionId) {}

CPropertyPage::~CPropertyPage() {
    if (sheet_ != nullptr) sheet_->RemovePage(this);
}

bool CPropertyPage::OnSetActive() {
    if (firstSetActive_) {
        firstSetActive_ = false;
    } else {
        UpdateData(false);
    }
    return true;
}

bool CPropertyPage::OnKillActive() { return UpdateData(true); }

int CPropertySheet::GetPageCount() const { return static_cast<int>(pages_.size()); }

CPropertyPage* CPropertySheet::GetPage(int index) const {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return nullptr;
    return pages_[static_cast<std::size_t>(index)];
}

// --- Data exchange -----------------------------------------------------------

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
