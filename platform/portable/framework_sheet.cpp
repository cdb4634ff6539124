// CPropertyPage and CPropertySheet on the portable window model: a sheet
// embedded in a dialog, a tab control with one tab per page, and page
// windows created on their first activation.
#include <algorithm>

#include "platform/portable/framework_internal.h"

using platform::WindowHandle;
using namespace platform::portable;

namespace {

// Pages sit inside the tab control's display area, below the row of tabs.
constexpr int kTabRowHeight = 21;
constexpr int kTabBorder = 3;

std::string PageCaption(CPropertyPage* page, unsigned captionId) {
    if (captionId != 0) {
        const char* text = platform::FindStringResource(captionId);
        return text != nullptr ? text : "";
    }
    const platform::DialogTemplate* dialogTemplate = platform::FindDialogTemplate(page->templateId());
    return dialogTemplate != nullptr && dialogTemplate->caption != nullptr ? dialogTemplate->caption : "";
}

void PlacePage(WindowHandle tab, WindowHandle page) {
    Window* tabWindow = Get(tab);
    Window* pageWindow = Get(page);
    if (tabWindow == nullptr || pageWindow == nullptr) return;
    const platform::Rect& area = tabWindow->rect;
    pageWindow->rect = {area.left + kTabBorder, area.top + kTabRowHeight + kTabBorder, area.right - kTabBorder,
                        area.bottom - kTabBorder};
    if (pageWindow->rect.right < pageWindow->rect.left) pageWindow->rect.right = pageWindow->rect.left;
    if (pageWindow->rect.bottom < pageWindow->rect.top) pageWindow->rect.bottom = pageWindow->rect.top;
    Touch();
}

}  // namespace

bool FrameworkAccess::SelectTab(CPropertySheet* sheet, int index) { return sheet->SetActivePage(index); }

// --- CPropertyPage -------------------------------------------------------------

// --- CPropertySheet ------------------------------------------------------------

CPropertySheet::CPropertySheet(unsigned captionId, CWnd* parent, int selectPage)
    : captionId_(captionId), parent_(parent), selectPage_(selectPage) {}

CPropertySheet::~CPropertySheet() {
    if (Get(handle_) != nullptr) DestroyWindowTree(handle_);
    for (CPropertyPage* page : pages_) FrameworkAccess::SetSheet(page, nullptr);
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    if (page == nullptr || std::find(pages_.begin(), pages_.end(), page) != pages_.end()) return;
    pages_.push_back(page);
    FrameworkAccess::SetSheet(page, this);
    if (Window* tab = Get(FindChild(handle_, kTabControlId))) {
        tab->tabs.push_back(PageCaption(page, page->captionId_));
        Touch();
    }
}

void CPropertySheet::RemovePage(CPropertyPage* page) {
    int index = GetPageIndex(page);
    if (index >= 0) RemovePage(index);
}

// Removing the active page of a shown sheet first activates its neighbour
// (the one before it, or after it when it is the first).
void CPropertySheet::RemovePage(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return;
    CPropertyPage* page = pages_[static_cast<std::size_t>(index)];
    if (Get(handle_) != nullptr) {
        if (index == activeIndex_) {
            if (pages_.size() > 1) SetActivePage(index > 0 ? index - 1 : index + 1);
            if (index == activeIndex_) activeIndex_ = -1;
        }
        if (Get(page->GetSafeHwnd()) != nullptr) DestroyWindowTree(page->GetSafeHwnd());
        if (Window* tab = Get(FindChild(handle_, kTabControlId))) {
            if (index < static_cast<int>(tab->tabs.size())) tab->tabs.erase(tab->tabs.begin() + index);
        }
        if (activeIndex_ > index) --activeIndex_;
        if (Window* tab = Get(FindChild(handle_, kTabControlId))) tab->currentTab = activeIndex_;
        Touch();
    }
    pages_.erase(pages_.begin() + index);
    FrameworkAccess::SetSheet(page, nullptr);
}

void CPropertySheet::EnableStackedTabs(bool stacked) {
    stackedTabs_ = stacked;
    if (Window* tab = Get(FindChild(handle_, kTabControlId))) {
        tab->style = stacked ? (tab->style | kTcsMultiline) : (tab->style & ~kTcsMultiline);
        Touch();
    }
}

// The sheet is sized to hold the largest page below the row of tabs.
bool CPropertySheet::Create(CWnd* parent, unsigned style, unsigned exStyle) {
    if (parent == nullptr || Get(parent->GetSafeHwnd()) == nullptr || Get(handle_) != nullptr) return false;
    parent_ = parent;
    Window& sheet = NewWindow(WindowKind::Sheet, kDialogClass, parent->GetSafeHwnd());
    const char* caption = platform::FindStringResource(captionId_);
    sheet.text = caption != nullptr ? caption : "";
    sheet.style = style | platform::kWsChild;
    sheet.exStyle = exStyle;
    sheet.object = this;
    handle_ = sheet.handle;

    int width = 0;
    int height = 0;
    for (CPropertyPage* page : pages_) {
        if (const platform::DialogTemplate* t = platform::FindDialogTemplate(page->templateId())) {
            width = std::max(width, DialogUnitsToPixelsX(t->cx));
            height = std::max(height, DialogUnitsToPixelsY(t->cy));
        }
    }
    width += 2 * kTabBorder;
    height += kTabRowHeight + 2 * kTabBorder;
    Get(handle_)->rect = {0, 0, width, height};

    Window& tab = NewWindow(WindowKind::Tab, kTabClass, handle_);
    tab.id = kTabControlId;
    tab.style = platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | (stackedTabs_ ? kTcsMultiline : 0);
    tab.rect = {0, 0, width, height};
    for (CPropertyPage* page : pages_) tab.tabs.push_back(PageCaption(page, page->captionId_));
    Touch();

    if (!pages_.empty()) {
        int first = selectPage_ >= 0 && selectPage_ < static_cast<int>(pages_.size()) ? selectPage_ : 0;
        SetActivePage(first);
    }
    return Get(handle_) != nullptr;
}

// The old page is asked to leave (it may refuse); the new page's window is
// created the first time; then the new page is told it is active, and only
// then shown in place of the old one.
bool CPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= static_cast<int>(pages_.size())) return false;
    if (Get(handle_) == nullptr) {
        selectPage_ = index;
        return true;
    }
    CPropertyPage* old = GetPage(activeIndex_);
    if (old != nullptr && Get(old->GetSafeHwnd()) != nullptr && !old->OnKillActive()) return false;

    CPropertyPage* page = pages_[static_cast<std::size_t>(index)];
    WindowHandle tab = FindChild(handle_, kTabControlId);
    if (Get(page->GetSafeHwnd()) == nullptr) {
        if (!FrameworkAccess::CreateChild(page, this)) return false;
        PlacePage(tab, page->GetSafeHwnd());
    }
    if (!page->OnSetActive()) return false;
    if (Get(handle_) == nullptr) return false;

    PlacePage(tab, page->GetSafeHwnd());
    if (old != nullptr && old != page) old->ShowWindow(false);
    page->ShowWindow(true);
    activeIndex_ = index;
    if (Window* tabWindow = Get(tab)) tabWindow->currentTab = index;
    Touch();
    return true;
}

bool CPropertySheet::SetActivePage(CPropertyPage* page) {
    int index = GetPageIndex(page);
    return index >= 0 && SetActivePage(index);
}

int CPropertySheet::GetActiveIndex() const { return Get(handle_) != nullptr ? activeIndex_ : selectPage_; }

CPropertyPage* CPropertySheet::GetActivePage() const { return GetPage(GetActiveIndex()); }

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    return it == pages_.end() ? -1 : static_cast<int>(it - pages_.begin());
}

CTabCtrl CPropertySheet::GetTabControl() const { return CTabCtrl(FindChild(handle_, kTabControlId)); }
