// The window table of the portable framework: creation and destruction,
// geometry, focus and the tab order.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>

#include "platform/portable/framework_internal.h"

namespace platform::portable {
namespace {

struct Model {
    // Handles are never reused, so a stale handle names no window rather
    // than a newer one.
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::uintptr_t nextHandle = 0x1000;
    WindowHandle focus = nullptr;
    unsigned long revision = 0;
    std::vector<WindowHandle> modal;
};

Model& TheModel() {
    static Model model;
    return model;
}

std::uintptr_t Key(WindowHandle handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// Win32's MulDiv: rounded to the nearest integer, halves away from zero.
int MulDiv(int value, int numerator, int denominator) {
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

// Visible and enabled up to the dialog, which may itself still be hidden
// (the first tab stop takes the focus before a dialog is shown).
bool IsTabStopCandidate(WindowHandle handle) {
    const Window* window = LookUp(handle);
    if (window == nullptr || (window->style & kWsTabStop) == 0) return false;
    for (const Window* w = window; w != nullptr && (w->style & kWsChild); w = LookUp(w->parent)) {
        if (!w->visible() || !w->enabled()) return false;
    }
    return true;
}

// The dialog's controls in tab order; children of control parents (the
// sheet and its pages) take the place of their parent.
void CollectTabOrder(WindowHandle parent, std::vector<WindowHandle>* order) {
    const Window* window = LookUp(parent);
    if (window == nullptr) return;
    for (WindowHandle child : window->children) {
        const Window* control = LookUp(child);
        if (control == nullptr || !control->visible()) continue;
        if (control->exStyle & kWsExControlParent) {
            if (control->enabled()) CollectTabOrder(child, order);
        } else {
            order->push_back(child);
        }
    }
}

}  // namespace

const Window* LookUp(WindowHandle handle) { return Get(handle); }

Window* Get(WindowHandle handle) {
    if (handle == nullptr) return nullptr;
    auto& windows = TheModel().windows;
    auto it = windows.find(Key(handle));
    return it == windows.end() ? nullptr : it->second.get();
}

Rect ScreenRect(WindowHandle handle) {
    const Window* window = LookUp(handle);
    if (window == nullptr) return {};
    Rect rect = window->rect;
    for (const Window* parent = LookUp(window->parent); parent != nullptr; parent = LookUp(parent->parent)) {
        rect.left += parent->rect.left;
        rect.right += parent->rect.left;
        rect.top += parent->rect.top;
        rect.bottom += parent->rect.top;
    }
    return rect;
}

WindowHandle FocusedWindow() { return TheModel().focus; }

std::vector<WindowHandle> ModalDialogs() { return TheModel().modal; }

std::vector<WindowHandle>& ModalStack() { return TheModel().modal; }

unsigned long ModelRevision() { return TheModel().revision; }

void Touch() { ++TheModel().revision; }

int DialogUnitsToPixelsX(int units) { return MulDiv(units, 6, 4); }
int DialogUnitsToPixelsY(int units) { return MulDiv(units, 13, 8); }

WindowKind KindOfClass(const std::string& className) {
    std::string upper;
    for (char c : className) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "BUTTON") return WindowKind::Button;
    if (upper == "EDIT") return WindowKind::Edit;
    if (upper == "STATIC") return WindowKind::Static;
    if (upper == "LISTBOX") return WindowKind::ListBox;
    if (upper == "MSCTLS_TRACKBAR32") return WindowKind::Trackbar;
    if (upper == "SYSTABCONTROL32") return WindowKind::Tab;
    return WindowKind::Other;
}

Window& NewWindow(WindowKind kind, const std::string& className, WindowHandle parent) {
    Model& model = TheModel();
    auto window = std::make_unique<Window>();
    window->handle = reinterpret_cast<WindowHandle>(model.nextHandle);
    model.nextHandle += 4;
    window->kind = kind;
    window->className = className;
    window->parent = parent;
    if (Window* parentWindow = Get(parent)) parentWindow->children.push_back(window->handle);
    Window& result = *window;
    model.windows[Key(window->handle)] = std::move(window);
    Touch();
    return result;
}

void DestroyWindowTree(WindowHandle handle) {
    Window* window = Get(handle);
    if (window == nullptr) return;
    std::vector<WindowHandle> children = window->children;
    for (WindowHandle child : children) DestroyWindowTree(child);
    Model& model = TheModel();
    if (model.focus == handle) model.focus = nullptr;
    if (Window* parent = Get(window->parent)) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
    }
    if (window->object != nullptr) FrameworkAccess::Attach(window->object, window->kind, nullptr);
    model.windows.erase(Key(handle));
    Touch();
}

void SetFocusWindow(WindowHandle handle) {
    TheModel().focus = Get(handle) != nullptr ? handle : nullptr;
    Touch();
}

WindowHandle FindChild(WindowHandle parent, int id) {
    const Window* window = LookUp(parent);
    if (window == nullptr) return nullptr;
    for (WindowHandle child : window->children) {
        const Window* control = LookUp(child);
        if (control != nullptr && control->id == id) return child;
    }
    return nullptr;
}

WindowHandle TopLevelOf(WindowHandle handle) {
    const Window* window = LookUp(handle);
    while (window != nullptr && (window->style & kWsChild) && LookUp(window->parent) != nullptr) {
        window = LookUp(window->parent);
    }
    return window != nullptr ? window->handle : nullptr;
}

bool IsPushButton(const Window& window) {
    if (window.kind != WindowKind::Button) return false;
    unsigned type = window.style & kBsTypeMask;
    return type == kBsPushButton || type == kBsDefPushButton;
}

bool IsVisibleOnScreen(WindowHandle handle) {
    for (const Window* window = LookUp(handle); window != nullptr; window = LookUp(window->parent)) {
        if (!window->visible()) return false;
    }
    return LookUp(handle) != nullptr;
}

bool IsEnabledWithAncestors(WindowHandle handle) {
    for (const Window* window = LookUp(handle); window != nullptr; window = LookUp(window->parent)) {
        if (!window->enabled()) return false;
        if (!(window->style & kWsChild)) break;
    }
    return LookUp(handle) != nullptr;
}

WindowHandle NextTabStop(WindowHandle dialog, WindowHandle from, bool backwards) {
    std::vector<WindowHandle> order;
    CollectTabOrder(dialog, &order);
    if (order.empty()) return nullptr;
    std::size_t count = order.size();
    auto found = std::find(order.begin(), order.end(), from);
    std::size_t start = found == order.end() ? (backwards ? 0 : count - 1)
                                             : static_cast<std::size_t>(found - order.begin());
    for (std::size_t step = 1; step <= count; ++step) {
        std::size_t index = backwards ? (start + count - step % count) % count : (start + step) % count;
        if (IsTabStopCandidate(order[index])) return order[index];
    }
    return nullptr;
}

WindowHandle CreateFromTemplate(const DialogTemplate& dialogTemplate, WindowKind kind, WindowHandle parent,
                                CWnd* object, unsigned removeStyle, unsigned addStyle) {
    Window& dialog = NewWindow(kind, kDialogClass, parent);
    dialog.text = dialogTemplate.caption != nullptr ? dialogTemplate.caption : "";
    dialog.style = (dialogTemplate.style & ~removeStyle) | addStyle;
    dialog.exStyle = dialogTemplate.exStyle;
    if (dialog.style & kDsControl) dialog.exStyle |= kWsExControlParent;
    dialog.rect.left = DialogUnitsToPixelsX(dialogTemplate.x);
    dialog.rect.top = DialogUnitsToPixelsY(dialogTemplate.y);
    dialog.rect.right = dialog.rect.left + DialogUnitsToPixelsX(dialogTemplate.cx);
    dialog.rect.bottom = dialog.rect.top + DialogUnitsToPixelsY(dialogTemplate.cy);
    dialog.fontName = dialogTemplate.fontName != nullptr ? dialogTemplate.fontName : "";
    dialog.fontPointSize = dialogTemplate.fontPointSize;
    dialog.templateId = dialogTemplate.id;
    dialog.object = object;
    WindowHandle handle = dialog.handle;
    for (std::size_t i = 0; i < dialogTemplate.controlCount; ++i) {
        const ControlTemplate& source = dialogTemplate.controls[i];
        Window& control = NewWindow(KindOfClass(source.className), source.className, handle);
        control.id = source.id;
        control.text = source.text != nullptr ? source.text : "";
        control.style = source.style;
        control.exStyle = source.exStyle;
        control.rect.left = DialogUnitsToPixelsX(source.x);
        control.rect.top = DialogUnitsToPixelsY(source.y);
        control.rect.right = control.rect.left + DialogUnitsToPixelsX(source.cx);
        control.rect.bottom = control.rect.top + DialogUnitsToPixelsY(source.cy);
        if (control.kind == WindowKind::Edit && (control.style & kEsMultiline) == 0) {
            control.text = control.text.substr(0, control.text.find_first_of("\r\n"));
        }
    }
    return handle;
}

WindowHandle FindSheet(WindowHandle dialog) {
    const Window* window = LookUp(dialog);
    if (window == nullptr) return nullptr;
    for (WindowHandle child : window->children) {
        const Window* control = LookUp(child);
        if (control != nullptr && control->kind == WindowKind::Sheet) return child;
    }
    return nullptr;
}

WindowHandle ActivePageWindow(WindowHandle sheet) {
    const Window* window = LookUp(sheet);
    if (window == nullptr) return nullptr;
    for (WindowHandle child : window->children) {
        const Window* page = LookUp(child);
        if (page != nullptr && page->kind == WindowKind::Page && page->visible()) return child;
    }
    return nullptr;
}

}  // namespace platform::portable
