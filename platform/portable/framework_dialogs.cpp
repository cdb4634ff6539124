// CDialog and its modal loop on the portable window model.
#include <algorithm>
#include <string>

#include "platform/framework_common.h"
#include "platform/portable/framework_internal.h"

using platform::WindowHandle;
using namespace platform::portable;

void FrameworkAccess::Attach(CWnd* object, WindowKind kind, WindowHandle handle) {
    if (object == nullptr) return;
    if (kind == WindowKind::Sheet) {
        static_cast<CPropertySheet*>(object)->handle_ = handle;
    } else {
        static_cast<CDialog*>(object)->handle_ = handle;
    }
}

namespace platform::portable {

void SendCommand(WindowHandle control, int notifyCode) {
    const Window* window = Get(control);
    if (window == nullptr) return;
    const Window* parent = Get(window->parent);
    if (parent == nullptr || parent->object == nullptr) return;
    if (parent->kind == WindowKind::Dialog || parent->kind == WindowKind::Page) {
        static_cast<CDialog*>(parent->object)->OnCommand(window->id, notifyCode);
    }
}

void SendHScroll(WindowHandle trackbar, int scrollCode, int position) {
    const Window* window = Get(trackbar);
    if (window == nullptr) return;
    const Window* parent = Get(window->parent);
    if (parent == nullptr || parent->object == nullptr) return;
    if (parent->kind == WindowKind::Dialog || parent->kind == WindowKind::Page) {
        CWnd sender(trackbar);
        static_cast<CDialog*>(parent->object)->OnHScroll(scrollCode, position, &sender);
    }
}

}  // namespace platform::portable

CDialog::CDialog(int templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
    if (Get(handle_) != nullptr) DestroyWindowTree(handle_);
}

// Runs the dialog until EndDialog: the owner is disabled meanwhile, and the
// focus goes back where it was when the dialog ends.
int CDialog::DoModal() {
    const platform::DialogTemplate* dialogTemplate = platform::FindDialogTemplate(templateId_);
    if (dialogTemplate == nullptr || Get(handle_) != nullptr) return -1;

    std::vector<WindowHandle>& modal = ModalStack();
    WindowHandle owner = parent_ != nullptr ? TopLevelOf(parent_->GetSafeHwnd())
                                            : (modal.empty() ? nullptr : modal.back());
    WindowHandle previousFocus = FocusedWindow();
    WindowHandle handle =
        CreateFromTemplate(*dialogTemplate, WindowKind::Dialog, nullptr, this, platform::kWsChild, 0);
    handle_ = handle;
    Get(handle)->owner = owner;
    modal.push_back(handle);

    // Whatever way the loop is left, a handler's exception included, the
    // dialog's window goes and its owner is enabled again.
    struct Cleanup {
        CDialog* dialog;
        WindowHandle handle, owner, previousFocus;
        bool ownerWasEnabled;
        ~Cleanup() {
            std::vector<WindowHandle>& stack = ModalStack();
            stack.erase(std::remove(stack.begin(), stack.end(), handle), stack.end());
            DestroyWindowTree(handle);
            FrameworkAccess::Attach(dialog, WindowKind::Dialog, nullptr);
            if (Window* ownerWindow = Get(owner)) {
                if (ownerWasEnabled) ownerWindow->style &= ~platform::kWsDisabled;
            }
            if (Get(previousFocus) != nullptr) SetFocusWindow(previousFocus);
            Touch();
        }
    } cleanup{this, handle, owner, previousFocus, false};
    if (Window* ownerWindow = Get(owner)) {
        cleanup.ownerWasEnabled = ownerWindow->enabled();
        ownerWindow->style |= platform::kWsDisabled;
    }

    if (OnInitDialog() && Get(handle) != nullptr && !Get(handle)->ended) {
        WindowHandle first = NextTabStop(handle, nullptr, false);
        if (first != nullptr) SetFocusWindow(first);
    }
    if (Window* window = Get(handle)) window->style |= platform::kWsVisible;
    Touch();

    // The event source drives the loop. When it has nothing more, the
    // dialog is closed as by its close button; a dialog that refuses even
    // that is ended with Cancel, so no script can leave the loop waiting.
    bool closedOnce = false;
    while (Get(handle) != nullptr && !Get(handle)->ended) {
        platform::EventSource* source = platform::CurrentEventSource();
        std::optional<platform::Action> action = source->NextAction(handle, Get(handle)->text);
        if (Get(handle) == nullptr || Get(handle)->ended) break;
        if (!action) {
            if (closedOnce) {
                EndDialog(platform::kIdCancel);
                break;
            }
            closedOnce = true;
            CloseDialog(handle);
            continue;
        }
        std::string failure = ApplyAction(handle, *action);
        if (!failure.empty()) source->ActionFailed(*action, Get(handle) ? Get(handle)->text : "", failure);
    }

    return Get(handle) != nullptr ? Get(handle)->result : platform::kIdCancel;
}

void CDialog::EndDialog(int result) {
    Window* window = Get(handle_);
    if (window == nullptr || window->kind != WindowKind::Dialog) return;
    window->ended = true;
    window->result = result;
    Touch();
}

// A page window: the template's popup, caption and disabled styles give way
// to a visible-later child that is a control parent, as property sheets
// create their pages.
bool CDialog::CreateChild(CWnd* parent) {
    const platform::DialogTemplate* dialogTemplate = platform::FindDialogTemplate(templateId_);
    if (dialogTemplate == nullptr || parent == nullptr || Get(parent->GetSafeHwnd()) == nullptr) return false;
    if (Get(handle_) != nullptr) return true;
    constexpr unsigned remove = kDsModalFrame | kWsCaption | kWsSysMenu | kWsPopup | platform::kWsDisabled |
                                platform::kWsVisible | kWsThickFrame;
    constexpr unsigned add = platform::kWsChild | platform::kWsTabStop | kDsControl;
    handle_ = CreateFromTemplate(*dialogTemplate, WindowKind::Page, parent->GetSafeHwnd(), this, remove, add);
    OnInitDialog();
    return Get(handle_) != nullptr;
}
