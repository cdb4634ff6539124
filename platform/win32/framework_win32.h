// Shared by the Win32 framework's files.
#pragma once

#include <windows.h>

// windows.h maps these names onto their A/W functions; the framework's
// classes have methods of the same names.
#undef GetWindowText
#undef SetWindowText
#undef GetDlgItemText
#undef SetDlgItemText
#undef MessageBox

#include "platform/framework.h"

// Reaches the framework classes' private parts (they name it a friend).
struct FrameworkAccess {
    static void Attach(CDialog* dialog, HWND window);
    static bool InitDialog(CDialog* dialog);
    static bool CreateChild(CDialog* dialog, CWnd* parent) { return dialog->CreateChild(parent); }
    static void SetSheet(CPropertyPage* page, CPropertySheet* sheet) { page->sheet_ = sheet; }
    static unsigned CaptionId(const CPropertyPage* page) { return page->captionId_; }
    static void Detach(CPropertySheet* sheet) { sheet->handle_ = nullptr; }
};

namespace platform::win32 {

// The module whose resources hold the dialog templates: the one this code
// is linked into.
HINSTANCE FrameworkModule();

}  // namespace platform::win32
