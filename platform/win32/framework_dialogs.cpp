// CDialog on the Win32 API: modal dialogs and property-page children from
// the templates compiled into the module, their messages turned into the
// framework's handlers.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "platform/framework.h"
#include "platform/framework_common.h"
#include "platform/win32/framework_win32.h"

namespace {

HWND H(platform::WindowHandle handle) { return static_cast<HWND>(handle); }

CDialog* DialogOf(HWND window) { return reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER)); }

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        FrameworkAccess::Attach(dialog, window);
        return FrameworkAccess::InitDialog(dialog) ? TRUE : FALSE;
    }
    CDialog* dialog = DialogOf(window);
    if (dialog == nullptr) return FALSE;
    switch (message) {
        case WM_COMMAND:
            return dialog->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_HSCROLL: {
            CWnd sender(reinterpret_cast<HWND>(lParam));
            const int code = LOWORD(wParam);
            const bool carriesPosition = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
            dialog->OnHScroll(code, carriesPosition ? static_cast<short>(HIWORD(wParam)) : 0, &sender);
            return TRUE;
        }
        case WM_NCDESTROY:
            FrameworkAccess::Attach(dialog, nullptr);
            SetWindowLongPtrA(window, DWLP_USER, 0);
            return FALSE;
        default:
            return FALSE;
    }
}

void InitControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_TAB_CLASSES};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)done;
}

}  // namespace

void FrameworkAccess::Attach(CDialog* dialog, HWND window) { dialog->handle_ = window; }

// A page's window is made a child while WM_INITDIALOG runs; the dialog's
// own OnInitDialog then sees it in place.
bool FrameworkAccess::InitDialog(CDialog* dialog) { return dialog->OnInitDialog(); }

namespace platform::win32 {

HINSTANCE FrameworkModule() {
    static const HINSTANCE module = [] {
        HMODULE found = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&DialogProcedure), &found);
        return found;
    }();
    return module;
}

}  // namespace platform::win32

CDialog::CDialog(int templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
    if (handle_ != nullptr && ::IsWindow(H(handle_))) DestroyWindow(H(handle_));
}

int CDialog::DoModal() {
    InitControls();
    HWND owner = parent_ != nullptr ? H(parent_->GetSafeHwnd()) : GetActiveWindow();
    const INT_PTR result = DialogBoxParamA(platform::win32::FrameworkModule(), MAKEINTRESOURCEA(templateId_), owner,
                                           DialogProcedure, reinterpret_cast<LPARAM>(this));
    handle_ = nullptr;
    return static_cast<int>(result);
}

void CDialog::EndDialog(int result) {
    if (handle_ != nullptr) ::EndDialog(H(handle_), result);
}

// A page window: the template's popup, caption and disabled styles give way
// to a hidden child that is a control parent, as property sheets create
// their pages. The template is copied and its styles changed before the
// window exists, so the page is a child from its first message on.
bool CDialog::CreateChild(CWnd* parent) {
    if (parent == nullptr || !parent->IsWindow()) return false;
    if (handle_ != nullptr) return true;
    InitControls();
    HINSTANCE module = platform::win32::FrameworkModule();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(templateId_), MAKEINTRESOURCEA(5));  // RT_DIALOG
    HGLOBAL loaded = resource != nullptr ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = resource != nullptr ? SizeofResource(module, resource) : 0;
    if (bytes == nullptr || size < 18) return false;
    std::vector<unsigned char> copy(static_cast<const unsigned char*>(bytes),
                                    static_cast<const unsigned char*>(bytes) + size);
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF; its styles
    // follow at offset 12 (style) and 8 (extended). DLGTEMPLATE has them at 0
    // and 4.
    const bool extended = copy[0] == 1 && copy[1] == 0 && copy[2] == 0xFF && copy[3] == 0xFF;
    const std::size_t styleAt = extended ? 12 : 0;
    const std::size_t exStyleAt = extended ? 8 : 4;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::memcpy(&style, copy.data() + styleAt, sizeof style);
    std::memcpy(&exStyle, copy.data() + exStyleAt, sizeof exStyle);
    style &= ~static_cast<DWORD>(DS_MODALFRAME | WS_CAPTION | WS_SYSMENU | WS_POPUP | WS_DISABLED | WS_VISIBLE |
                                 WS_THICKFRAME);
    style |= WS_CHILD | WS_TABSTOP | DS_CONTROL;
    exStyle |= WS_EX_CONTROLPARENT;
    std::memcpy(copy.data() + styleAt, &style, sizeof style);
    std::memcpy(copy.data() + exStyleAt, &exStyle, sizeof exStyle);
    HWND window = CreateDialogIndirectParamA(module, reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()),
                                             H(parent->GetSafeHwnd()), DialogProcedure,
                                             reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}
