// What a user's mouse does to a dialog's controls, as the window messages
// that arrive when it happens. Sent from a thread other than the dialog's,
// while the dialog's modal loop runs. Header-only, so that a program that
// knows nothing else of the platform layer can drive a dialog too.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace platform::win32::input {

inline std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

inline bool IsClass(HWND window, const char* name) { return lstrcmpiA(ClassOf(window).c_str(), name) == 0; }

inline std::string TextOf(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    return std::string(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

namespace detail {
struct ClassSearch {
    const char* name;
    HWND found;
};
inline BOOL CALLBACK MatchClass(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<ClassSearch*>(data);
    if (!IsClass(child, search->name)) return TRUE;
    search->found = child;
    return FALSE;
}
}  // namespace detail

// The first descendant of `parent` of the window class `className`.
inline HWND FindChildOfClass(HWND parent, const char* className) {
    detail::ClassSearch search{className, nullptr};
    EnumChildWindows(parent, detail::MatchClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A click on tab `index`: the tab control asks its parent whether the
// current page may go, then selects and tells the parent.
inline void ClickTab(HWND tab, int index) {
    NMHDR header{tab, static_cast<UINT_PTR>(GetDlgCtrlID(tab)), static_cast<UINT>(TCN_SELCHANGING)};
    if (SendMessageA(GetParent(tab), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header)) != 0) return;
    SendMessageA(tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    header.code = static_cast<UINT>(TCN_SELCHANGE);
    SendMessageA(GetParent(tab), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// A drag of the trackbar's thumb to `position`, released there.
inline void DragSlider(HWND slider, int position) {
    const UINT message = (GetWindowLongA(slider, GWL_STYLE) & TBS_VERT) != 0 ? WM_VSCROLL : WM_HSCROLL;
    HWND parent = GetParent(slider);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(parent, message, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
    SendMessageA(parent, message, MAKEWPARAM(TB_THUMBPOSITION, position), reinterpret_cast<LPARAM>(slider));
    SendMessageA(parent, message, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
}

// A click on entry `index` of a list box.
inline void ClickListEntry(HWND list, int index) {
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

// A click on a button or check box. Returns after `waitMs` at the latest:
// a button that opens another dialog does not return until that closes.
inline void ClickButton(HWND button, UINT waitMs = 1000) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, waitMs, &result);
}

// A press of button `id` of `dialog` that returns at once.
inline void PostButtonPress(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace platform::win32::input
