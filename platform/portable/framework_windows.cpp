// CWnd and the control wrappers on the portable window model.
#include <algorithm>
#include <cctype>

#include "platform/portable/framework_internal.h"

using platform::Rect;
using platform::WindowHandle;
using namespace platform::portable;

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// List boxes order their entries as the system's case-blind comparison
// does.
int CompareNoCase(const std::string& a, const std::string& b) {
    std::size_t length = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < length; ++i) {
        int x = std::tolower(static_cast<unsigned char>(a[i]));
        int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

Window* Control(WindowHandle handle, WindowKind kind) {
    Window* window = Get(handle);
    return window != nullptr && window->kind == kind ? window : nullptr;
}

bool HasCheckState(const Window& window) {
    if (window.kind != WindowKind::Button) return false;
    unsigned type = window.style & kBsTypeMask;
    return type == kBsCheckBox || type == kBsAutoCheckBox || type == kBsRadioButton || type == kBs3State ||
           type == kBsAuto3State || type == kBsAutoRadioButton;
}

}  // namespace

// --- CWnd ----------------------------------------------------------------------

bool CWnd::IsWindow() const { return Get(handle_) != nullptr; }

CWnd CWnd::GetDlgItem(int id) const { return CWnd(FindChild(handle_, id)); }

int CWnd::GetDlgCtrlID() const {
    const Window* window = Get(handle_);
    return window != nullptr ? window->id : 0;
}

void CWnd::EnableWindow(bool enable) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    if (enable) {
        window->style &= ~platform::kWsDisabled;
    } else {
        window->style |= platform::kWsDisabled;
        // A disabled window cannot keep the keyboard focus.
        if (FocusedWindow() == handle_) SetFocusWindow(nullptr);
    }
    Touch();
}

bool CWnd::IsWindowEnabled() const {
    const Window* window = Get(handle_);
    return window != nullptr && window->enabled();
}

void CWnd::ShowWindow(bool show) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    if (show) {
        window->style |= platform::kWsVisible;
    } else {
        window->style &= ~platform::kWsVisible;
        WindowHandle focus = FocusedWindow();
        for (WindowHandle w = focus; w != nullptr; w = Get(w) ? Get(w)->parent : nullptr) {
            if (w == handle_) {
                SetFocusWindow(nullptr);
                break;
            }
        }
    }
    Touch();
}

bool CWnd::IsWindowVisible() const { return IsVisibleOnScreen(handle_); }

void CWnd::SetWindowText(const std::string& text) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    window->text = text;
    Touch();
}

std::string CWnd::GetWindowText() const {
    const Window* window = Get(handle_);
    return window != nullptr ? window->text : std::string();
}

void CWnd::SetDlgItemText(int id, const std::string& text) { GetDlgItem(id).SetWindowText(text); }

std::string CWnd::GetDlgItemText(int id) const { return GetDlgItem(id).GetWindowText(); }

void CWnd::CheckDlgButton(int id, int state) { Item<CButton>(id).SetCheck(state); }

int CWnd::IsDlgButtonChecked(int id) const { return Item<CButton>(id).GetCheck(); }

void CWnd::SetFocus() {
    if (Get(handle_) != nullptr) SetFocusWindow(handle_);
}

void CWnd::GetWindowRect(Rect* rect) const {
    if (rect != nullptr) *rect = ScreenRect(handle_);
}

void CWnd::ScreenToClient(Rect* rect) const {
    if (rect == nullptr || Get(handle_) == nullptr) return;
    Rect origin = ScreenRect(handle_);
    rect->left -= origin.left;
    rect->right -= origin.left;
    rect->top -= origin.top;
    rect->bottom -= origin.top;
}

void CWnd::MoveWindow(int x, int y, int width, int height, bool) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    window->rect = {x, y, x + width, y + height};
    Touch();
}

void CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, unsigned flags) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    if (!(flags & platform::kSwpNoMove)) {
        int w = window->rect.Width();
        int h = window->rect.Height();
        window->rect = {x, y, x + w, y + h};
    }
    if (!(flags & platform::kSwpNoSize)) {
        window->rect.right = window->rect.left + width;
        window->rect.bottom = window->rect.top + height;
    }
    // The z-order is the tab order: placing a window after another moves
    // it behind that sibling; no window at all places it first.
    Window* parent = Get(window->parent);
    if (!(flags & platform::kSwpNoZOrder) && parent != nullptr) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), handle_), siblings.end());
        WindowHandle after = insertAfter != nullptr ? insertAfter->GetSafeHwnd() : nullptr;
        auto position = std::find(siblings.begin(), siblings.end(), after);
        siblings.insert(position == siblings.end() ? siblings.begin() : position + 1, handle_);
    }
    Touch();
}

void CWnd::ModifyStyle(unsigned remove, unsigned add) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    window->style = (window->style & ~remove) | add;
    Touch();
}

void CWnd::ModifyStyleEx(unsigned remove, unsigned add) {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    window->exStyle = (window->exStyle & ~remove) | add;
    Touch();
}

unsigned CWnd::GetStyle() const {
    const Window* window = Get(handle_);
    return window != nullptr ? window->style : 0;
}

unsigned CWnd::GetExStyle() const {
    const Window* window = Get(handle_);
    return window != nullptr ? window->exStyle : 0;
}

// Centres on the owner, or on a screen of 1024 by 768 pixels without one.
void CWnd::CenterWindow() {
    Window* window = Get(handle_);
    if (window == nullptr) return;
    Rect area{0, 0, 1024, 768};
    WindowHandle reference = (window->style & platform::kWsChild) ? window->parent : window->owner;
    if (Get(reference) != nullptr) {
        area = (window->style & platform::kWsChild) ? Rect{0, 0, Get(reference)->rect.Width(),
                                                           Get(reference)->rect.Height()}
                                                    : ScreenRect(reference);
    }
    int width = window->rect.Width();
    int height = window->rect.Height();
    int left = area.left + (area.Width() - width) / 2;
    int top = area.top + (area.Height() - height) / 2;
    window->rect = {left, top, left + width, top + height};
    Touch();
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    return ShowMessageBox(handle_, text, caption, type);
}

// --- CSliderCtrl ---------------------------------------------------------------

// A trackbar keeps its position inside its range; setting either end pulls
// the position in, and the page size follows the range (a fifth of it).
void CSliderCtrl::SetRange(int minimum, int maximum, bool) {
    Window* window = Control(handle_, WindowKind::Trackbar);
    if (window == nullptr) return;
    window->rangeMin = minimum;
    if (window->position < minimum) window->position = minimum;
    window->rangeMax = maximum;
    if (window->position > maximum) window->position = maximum;
    window->pageSize = std::max(1, (maximum - minimum) / 5);
    Touch();
}

int CSliderCtrl::GetRangeMin() const {
    const Window* window = Control(handle_, WindowKind::Trackbar);
    return window != nullptr ? window->rangeMin : 0;
}

int CSliderCtrl::GetRangeMax() const {
    const Window* window = Control(handle_, WindowKind::Trackbar);
    return window != nullptr ? window->rangeMax : 0;
}

int CSliderCtrl::SetLineSize(int size) {
    Window* window = Control(handle_, WindowKind::Trackbar);
    if (window == nullptr) return 0;
    int previous = window->lineSize;
    window->lineSize = size;
    return previous;
}

int CSliderCtrl::GetLineSize() const {
    const Window* window = Control(handle_, WindowKind::Trackbar);
    return window != nullptr ? window->lineSize : 0;
}

void CSliderCtrl::SetPos(int position) {
    Window* window = Control(handle_, WindowKind::Trackbar);
    if (window == nullptr) return;
    if (position > window->rangeMax) position = window->rangeMax;
    if (position < window->rangeMin) position = window->rangeMin;
    window->position = position;
    Touch();
}

int CSliderCtrl::GetPos() const {
    const Window* window = Control(handle_, WindowKind::Trackbar);
    return window != nullptr ? window->position : 0;
}

// --- CButton -------------------------------------------------------------------

void CButton::SetCheck(int state) {
    Window* window = Get(handle_);
    if (window == nullptr || !HasCheckState(*window)) return;
    window->check = state;
    Touch();
}

int CButton::GetCheck() const {
    const Window* window = Get(handle_);
    return window != nullptr && HasCheckState(*window) ? window->check : 0;
}

// --- CListBox ------------------------------------------------------------------

void CListBox::ResetContent() {
    Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr) return;
    window->entries.clear();
    window->selection = -1;
    Touch();
}

// A sorted list box inserts by binary search; among entries that compare
// equal the new one goes before the one the search meets.
int CListBox::AddString(const std::string& text) {
    Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr) return -1;
    auto& entries = window->entries;
    int index = static_cast<int>(entries.size());
    if (window->style & kLbsSort) {
        int low = 0;
        int high = static_cast<int>(entries.size());
        index = -1;
        while (low != high) {
            int middle = (low + high) / 2;
            int order = CompareNoCase(text, entries[static_cast<std::size_t>(middle)].text);
            if (order == 0) {
                index = middle;
                break;
            }
            if (order < 0) {
                high = middle;
            } else {
                low = middle + 1;
            }
        }
        if (index < 0) index = low;
    }
    entries.insert(entries.begin() + index, ListEntry{text, nullptr});
    if (window->selection >= index) ++window->selection;
    Touch();
    return index;
}

int CListBox::DeleteString(int index) {
    Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr || index < 0 || index >= static_cast<int>(window->entries.size())) return -1;
    window->entries.erase(window->entries.begin() + index);
    if (window->selection == index) {
        window->selection = -1;
    } else if (window->selection > index) {
        --window->selection;
    }
    Touch();
    return static_cast<int>(window->entries.size());
}

int CListBox::GetCount() const {
    const Window* window = Control(handle_, WindowKind::ListBox);
    return window != nullptr ? static_cast<int>(window->entries.size()) : -1;
}

int CListBox::GetCurSel() const {
    const Window* window = Control(handle_, WindowKind::ListBox);
    return window != nullptr ? window->selection : -1;
}

// No notification: only the user's changes are reported to the parent.
int CListBox::SetCurSel(int index) {
    Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr) return -1;
    if (index < -1 || index >= static_cast<int>(window->entries.size())) return -1;
    window->selection = index;
    Touch();
    return index;
}

std::string CListBox::GetText(int index) const {
    const Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr || index < 0 || index >= static_cast<int>(window->entries.size())) return {};
    return window->entries[static_cast<std::size_t>(index)].text;
}

int CListBox::SetItemDataPtr(int index, void* data) {
    Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr || index < 0 || index >= static_cast<int>(window->entries.size())) return -1;
    window->entries[static_cast<std::size_t>(index)].data = data;
    return 1;
}

void* CListBox::GetItemDataPtr(int index) const {
    const Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr || index < 0 || index >= static_cast<int>(window->entries.size())) {
        return reinterpret_cast<void*>(-1);
    }
    return window->entries[static_cast<std::size_t>(index)].data;
}

// Searches from the entry after `startAfter` to the end, then from the top
// back to `startAfter`.
int CListBox::FindStringExact(int startAfter, const std::string& text) const {
    const Window* window = Control(handle_, WindowKind::ListBox);
    if (window == nullptr) return -1;
    int count = static_cast<int>(window->entries.size());
    if (count == 0) return -1;
    int start = startAfter < -1 || startAfter >= count ? -1 : startAfter;
    for (int step = 1; step <= count; ++step) {
        int index = (start + step) % count;
        if (EqualNoCase(window->entries[static_cast<std::size_t>(index)].text, text)) return index;
    }
    return -1;
}

// --- CTabCtrl ------------------------------------------------------------------

int CTabCtrl::GetItemCount() const {
    const Window* window = Control(handle_, WindowKind::Tab);
    return window != nullptr ? static_cast<int>(window->tabs.size()) : 0;
}

int CTabCtrl::GetCurSel() const {
    const Window* window = Control(handle_, WindowKind::Tab);
    return window != nullptr ? window->currentTab : -1;
}
