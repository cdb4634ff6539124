// CWnd and the control wrappers on the Win32 API: each call is the window
// message or function of the same meaning.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/framework_win32.h"

#include <string>
#include <vector>

#include "platform/framework.h"

namespace {

HWND H(platform::WindowHandle handle) { return static_cast<HWND>(handle); }

LRESULT Send(platform::WindowHandle handle, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(H(handle), message, wParam, lParam);
}

std::string TextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

}  // namespace

bool CWnd::IsWindow() const { return handle_ != nullptr && ::IsWindow(H(handle_)); }

CWnd CWnd::GetDlgItem(int id) const { return CWnd(handle_ != nullptr ? ::GetDlgItem(H(handle_), id) : nullptr); }

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(H(handle_)); }

void CWnd::EnableWindow(bool enable) { ::EnableWindow(H(handle_), enable ? TRUE : FALSE); }

bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(H(handle_)) != FALSE; }

void CWnd::ShowWindow(bool show) { ::ShowWindow(H(handle_), show ? SW_SHOW : SW_HIDE); }

bool CWnd::IsWindowVisible() const { return ::IsWindowVisible(H(handle_)) != FALSE; }

void CWnd::SetWindowText(const std::string& text) { ::SetWindowTextA(H(handle_), text.c_str()); }

std::string CWnd::GetWindowText() const { return TextOf(H(handle_)); }

void CWnd::SetDlgItemText(int id, const std::string& text) { ::SetDlgItemTextA(H(handle_), id, text.c_str()); }

std::string CWnd::GetDlgItemText(int id) const { return TextOf(::GetDlgItem(H(handle_), id)); }

void CWnd::CheckDlgButton(int id, int state) { ::CheckDlgButton(H(handle_), id, static_cast<UINT>(state)); }

int CWnd::IsDlgButtonChecked(int id) const { return static_cast<int>(::IsDlgButtonChecked(H(handle_), id)); }

void CWnd::SetFocus() { ::SetFocus(H(handle_)); }

void CWnd::GetWindowRect(platform::Rect* rect) const {
    RECT r{};
    ::GetWindowRect(H(handle_), &r);
    *rect = platform::Rect{r.left, r.top, r.right, r.bottom};
}

void CWnd::ScreenToClient(platform::Rect* rect) const {
    POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
    ::MapWindowPoints(nullptr, H(handle_), corners, 2);
    *rect = platform::Rect{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void CWnd::MoveWindow(int x, int y, int width, int height, bool repaint) {
    ::MoveWindow(H(handle_), x, y, width, height, repaint ? TRUE : FALSE);
}

void CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, unsigned flags) {
    ::SetWindowPos(H(handle_), insertAfter != nullptr ? H(insertAfter->GetSafeHwnd()) : nullptr, x, y, width, height,
                   flags);
}

void CWnd::ModifyStyle(unsigned remove, unsigned add) {
    const LONG_PTR style = GetWindowLongPtrA(H(handle_), GWL_STYLE);
    SetWindowLongPtrA(H(handle_), GWL_STYLE, (style & ~static_cast<LONG_PTR>(remove)) | add);
}

void CWnd::ModifyStyleEx(unsigned remove, unsigned add) {
    const LONG_PTR style = GetWindowLongPtrA(H(handle_), GWL_EXSTYLE);
    SetWindowLongPtrA(H(handle_), GWL_EXSTYLE, (style & ~static_cast<LONG_PTR>(remove)) | add);
}

unsigned CWnd::GetStyle() const { return static_cast<unsigned>(GetWindowLongPtrA(H(handle_), GWL_STYLE)); }

unsigned CWnd::GetExStyle() const { return static_cast<unsigned>(GetWindowLongPtrA(H(handle_), GWL_EXSTYLE)); }

// Over the owner, or over the screen's work area when there is none.
void CWnd::CenterWindow() {
    RECT self{};
    ::GetWindowRect(H(handle_), &self);
    RECT area{};
    HWND owner = ::GetWindow(H(handle_), GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner)) {
        ::GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int x = area.left + ((area.right - area.left) - (self.right - self.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (self.bottom - self.top)) / 2;
    ::SetWindowPos(H(handle_), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    return ::MessageBoxA(H(handle_), text.c_str(), caption.c_str(), type);
}

// --- Trackbar -------------------------------------------------------------------

void CSliderCtrl::SetRange(int minimum, int maximum, bool redraw) {
    Send(handle_, TBM_SETRANGEMIN, FALSE, minimum);
    Send(handle_, TBM_SETRANGEMAX, redraw ? TRUE : FALSE, maximum);
}
int CSliderCtrl::GetRangeMin() const { return static_cast<int>(Send(handle_, TBM_GETRANGEMIN)); }
int CSliderCtrl::GetRangeMax() const { return static_cast<int>(Send(handle_, TBM_GETRANGEMAX)); }
int CSliderCtrl::SetLineSize(int size) { return static_cast<int>(Send(handle_, TBM_SETLINESIZE, 0, size)); }
int CSliderCtrl::GetLineSize() const { return static_cast<int>(Send(handle_, TBM_GETLINESIZE)); }
void CSliderCtrl::SetPos(int position) { Send(handle_, TBM_SETPOS, TRUE, position); }
int CSliderCtrl::GetPos() const { return static_cast<int>(Send(handle_, TBM_GETPOS)); }

// --- Buttons --------------------------------------------------------------------

void CButton::SetCheck(int state) { Send(handle_, BM_SETCHECK, static_cast<WPARAM>(state)); }
int CButton::GetCheck() const { return static_cast<int>(Send(handle_, BM_GETCHECK)); }

// --- List box -------------------------------------------------------------------

void CListBox::ResetContent() { Send(handle_, LB_RESETCONTENT); }
int CListBox::AddString(const std::string& text) {
    return static_cast<int>(Send(handle_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}
int CListBox::DeleteString(int index) { return static_cast<int>(Send(handle_, LB_DELETESTRING, index)); }
int CListBox::GetCount() const { return static_cast<int>(Send(handle_, LB_GETCOUNT)); }
int CListBox::GetCurSel() const { return static_cast<int>(Send(handle_, LB_GETCURSEL)); }
int CListBox::SetCurSel(int index) { return static_cast<int>(Send(handle_, LB_SETCURSEL, index)); }
std::string CListBox::GetText(int index) const {
    const LRESULT length = Send(handle_, LB_GETTEXTLEN, index);
    if (length == LB_ERR) return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    const LRESULT copied = Send(handle_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    return copied == LB_ERR ? std::string() : std::string(text.data(), static_cast<std::size_t>(copied));
}
int CListBox::SetItemDataPtr(int index, void* data) {
    return static_cast<int>(Send(handle_, LB_SETITEMDATA, index, reinterpret_cast<LPARAM>(data)));
}
void* CListBox::GetItemDataPtr(int index) const {
    return reinterpret_cast<void*>(Send(handle_, LB_GETITEMDATA, index));
}
int CListBox::FindStringExact(int startAfter, const std::string& text) const {
    return static_cast<int>(Send(handle_, LB_FINDSTRINGEXACT, startAfter, reinterpret_cast<LPARAM>(text.c_str())));
}

// --- Tab control ----------------------------------------------------------------

int CTabCtrl::GetItemCount() const { return static_cast<int>(Send(handle_, TCM_GETITEMCOUNT)); }
int CTabCtrl::GetCurSel() const { return static_cast<int>(Send(handle_, TCM_GETCURSEL)); }
