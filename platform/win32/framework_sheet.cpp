// CPropertyPage and CPropertySheet on the Win32 API: the sheet is a child
// window holding a tab control, with one page dialog per tab placed in the
// tab's display area. A page's window is created on its first activation.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/framework.h"
#include "platform/resource_tables.h"
#include "platform/win32/framework_win32.h"

namespace {

constexpr int kTabControlId = 0x3020;  // as the system's property sheets number their tab control
constexpr char kSheetClass[] = "ZentrixTvnSheet";

HWND H(platform::WindowHandle handle) { return static_cast<HWND>(handle); }

std::string PageCaption(const CPropertyPage* page, unsigned captionId) {
    if (captionId != 0) {
        if (const char* text = platform::FindStringResource(captionId)) return text;
    }
    const platform::DialogTemplate* dialogTemplate = platform::FindDialogTemplate(page->templateId());
    return dialogTemplate != nullptr && dialogTemplate->caption != nullptr ? dialogTemplate->caption : "";
}

// A tab click activates its page; refusing pages keep the old tab. When
// the sheet's window goes (with its dialog), the object lets go of it.
LRESULT CALLBACK SheetProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* sheet = reinterpret_cast<CPropertySheet*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && sheet != nullptr) {
        FrameworkAccess::Detach(sheet);
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (sheet != nullptr && header->idFrom == kTabControlId && header->code == TCN_SELCHANGE) {
            const int wanted = TabCtrl_GetCurSel(header->hwndFrom);
            if (!sheet->SetActivePage(wanted)) TabCtrl_SetCurSel(header->hwndFrom, sheet->GetActiveIndex());
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterSheetClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = SheetProcedure;
        windowClass.hInstance = platform::win32::FrameworkModule();
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kSheetClass;
        return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

void InsertTab(HWND tab, int index, const std::string& caption) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(caption.c_str());
    SendMessageA(tab, TCM_INSERTITEMA, index, reinterpret_cast<LPARAM>(&item));
}

// The page fills the tab control's display area.
void PlacePage(HWND tab, HWND page) {
    RECT area{};
    GetClientRect(tab, &area);
    TabCtrl_AdjustRect(tab, FALSE, &area);
    MapWindowPoints(tab, GetParent(tab), reinterpret_cast<POINT*>(&area), 2);
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE);
}

}  // namespace

// --- CPropertyPage -------------------------------------------------------------

// --- CPropertySheet ------------------------------------------------------------

CPropertySheet::CPropertySheet(unsigned captionId, CWnd* parent, int selectPage)
    : captionId_(captionId), parent_(parent), selectPage_(selectPage) {}

CPropertySheet::~CPropertySheet() {
    for (CPropertyPage* page : pages_) FrameworkAccess::SetSheet(page, nullptr);
    if (handle_ != nullptr && ::IsWindow(H(handle_))) DestroyWindow(H(handle_));
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    if (page == nullptr || std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return;
    pages_.push_back(page);
    FrameworkAccess::SetSheet(page, this);
    if (HWND tab = H(GetTabControl().GetSafeHwnd())) {
        InsertTab(tab, static_cast<int>(pages_.size()) - 1, PageCaption(page, FrameworkAccess::CaptionId(page)));
    }
}

void CPropertySheet::RemovePage(CPropertyPage* page) {
    const int index = GetPageIndex(page);
    if (index >= 0) RemovePage(index);
}

// Removing the active page of a shown sheet first activates its neighbour
// (the one before it, or after it when it is the first).
void CPropertySheet::RemovePage(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    CPropertyPage* page = pages_[static_cast<std::size_t>(index)];
    if (handle_ != nullptr && ::IsWindow(H(handle_))) {
        if (index == activeIndex_) {
            if (pages_.size() > 1) SetActivePage(index > 0 ? index - 1 : index + 1);
            if (index == activeIndex_) activeIndex_ = -1;
        }
        if (page->IsWindow()) DestroyWindow(H(page->GetSafeHwnd()));
        HWND tab = H(GetTabControl().GetSafeHwnd());
        if (tab != nullptr) TabCtrl_DeleteItem(tab, index);
        if (activeIndex_ > index) --activeIndex_;
        if (tab != nullptr) TabCtrl_SetCurSel(tab, activeIndex_);
    }
    pages_.erase(pages_.begin() + index);
    FrameworkAccess::SetSheet(page, nullptr);
}

void CPropertySheet::EnableStackedTabs(bool stacked) {
    stackedTabs_ = stacked;
    CTabCtrl tab = GetTabControl();
    if (tab.GetSafeHwnd() != nullptr) tab.ModifyStyle(stacked ? 0 : TCS_MULTILINE, stacked ? TCS_MULTILINE : 0);
}

// The sheet is sized to hold the largest page below the row of tabs.
bool CPropertySheet::Create(CWnd* parent, unsigned style, unsigned exStyle) {
    if (parent == nullptr || !parent->IsWindow() || handle_ != nullptr || !RegisterSheetClass()) return false;
    parent_ = parent;
    const char* caption = platform::FindStringResource(captionId_);
    HWND sheet = CreateWindowExA(exStyle, kSheetClass, caption != nullptr ? caption : "", style | WS_CHILD, 0, 0, 0, 0,
                                 H(parent->GetSafeHwnd()), nullptr, platform::win32::FrameworkModule(), nullptr);
    if (sheet == nullptr) return false;
    SetWindowLongPtrA(sheet, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    handle_ = sheet;

    HWND tab = CreateWindowExA(0, WC_TABCONTROLA, "",
                               WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | (stackedTabs_ ? TCS_MULTILINE : 0),
                               0, 0, 0, 0, sheet, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabControlId)),
                               platform::win32::FrameworkModule(), nullptr);
    if (tab == nullptr) return false;
    SendMessageA(tab, WM_SETFONT, SendMessageA(H(parent->GetSafeHwnd()), WM_GETFONT, 0, 0), FALSE);
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        InsertTab(tab, static_cast<int>(i), PageCaption(pages_[i], FrameworkAccess::CaptionId(pages_[i])));
    }

    // The largest page template, in the parent dialog's units, plus the tabs.
    RECT area{0, 0, 0, 0};
    for (CPropertyPage* page : pages_) {
        if (const platform::DialogTemplate* t = platform::FindDialogTemplate(page->templateId())) {
            RECT size{0, 0, t->cx, t->cy};
            MapDialogRect(H(parent->GetSafeHwnd()), &size);
            area.right = std::max(area.right, size.right);
            area.bottom = std::max(area.bottom, size.bottom);
        }
    }
    TabCtrl_AdjustRect(tab, TRUE, &area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    ::SetWindowPos(sheet, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(tab, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    if (!pages_.empty()) {
        const int first = selectPage_ >= 0 && selectPage_ < static_cast<int>(pages_.size()) ? selectPage_ : 0;
        SetActivePage(first);
    }
    return true;
}

// The old page is asked to leave (it may refuse); the new page's window is
// created the first time; then the new page is told it is active, and only
// then shown in place of the old one.
bool CPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return false;
    if (handle_ == nullptr) {
        selectPage_ = index;
        return true;
    }
    CPropertyPage* old = GetPage(activeIndex_);
    if (old != nullptr && old->IsWindow() && !old->OnKillActive()) return false;

    CPropertyPage* page = pages_[static_cast<std::size_t>(index)];
    HWND tab = H(GetTabControl().GetSafeHwnd());
    // The sheet follows its tab control, which its owner may have resized.
    RECT tabRect{};
    ::GetWindowRect(tab, &tabRect);
    ::SetWindowPos(H(handle_), nullptr, 0, 0, tabRect.right - tabRect.left, tabRect.bottom - tabRect.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (!page->IsWindow()) {
        if (!FrameworkAccess::CreateChild(page, this)) return false;
    }
    if (!page->OnSetActive()) return false;
    PlacePage(tab, H(page->GetSafeHwnd()));
    if (old != nullptr && old != page && old->IsWindow()) old->ShowWindow(false);
    page->ShowWindow(true);
    activeIndex_ = index;
    TabCtrl_SetCurSel(tab, index);
    return true;
}

bool CPropertySheet::SetActivePage(CPropertyPage* page) {
    const int index = GetPageIndex(page);
    return index >= 0 && SetActivePage(index);
}

int CPropertySheet::GetActiveIndex() const { return handle_ != nullptr ? activeIndex_ : selectPage_; }

CPropertyPage* CPropertySheet::GetActivePage() const { return GetPage(GetActiveIndex()); }

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

CTabCtrl CPropertySheet::GetTabControl() const {
    return CTabCtrl(handle_ != nullptr ? ::GetDlgItem(H(handle_), kTabControlId) : nullptr);
}
