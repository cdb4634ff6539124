// The dialog framework the plug-in's user interface is built on: an
// application object, windows, modal dialogs from templates, a property
// sheet with pages, the classic controls, data exchange and message boxes.
//
// The classes keep the names and the behaviour of the framework the plug-in
// was designed for, reduced to what it uses. Message maps are replaced by
// virtual handlers (OnCommand, OnHScroll). Windows implements this header on
// the real Win32 API (platform/win32); elsewhere a window model of our own
// stands in (platform/portable) and takes user actions from an event source
// (platform/event_source.h).
//
// Windows are referred to by handles; the control classes (CSliderCtrl,
// CListBox, ...) are cheap wrappers around a handle, obtained with
// CWnd::Item<T>(id). All calls run on the thread of the modal loop.
#pragma once

#include <string>
#include <vector>

namespace platform {

using WindowHandle = void*;

// Message box types and results (Win32 values).
constexpr unsigned kMbOk = 0x00000000;
constexpr unsigned kMbOkCancel = 0x00000001;
constexpr unsigned kMbYesNo = 0x00000004;
constexpr unsigned kMbIconError = 0x00000010;
constexpr unsigned kMbIconQuestion = 0x00000020;
constexpr unsigned kMbIconExclamation = 0x00000030;
constexpr unsigned kMbIconInformation = 0x00000040;
constexpr unsigned kMbButtonsMask = 0x0000000F;
constexpr unsigned kMbIconMask = 0x000000F0;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Notification codes of WM_COMMAND.
constexpr int kBnClicked = 0;
constexpr int kLbnSelChange = 1;

// Trackbar scroll codes of WM_HSCROLL.
constexpr int kTbLineUp = 0;
constexpr int kTbLineDown = 1;
constexpr int kTbPageUp = 2;
constexpr int kTbPageDown = 3;
constexpr int kTbThumbPosition = 4;
constexpr int kTbThumbTrack = 5;
constexpr int kTbTop = 6;
constexpr int kTbBottom = 7;
constexpr int kTbEndTrack = 8;

// Window styles used by the code (Win32 values).
constexpr unsigned kWsChild = 0x40000000;
constexpr unsigned kWsVisible = 0x10000000;
constexpr unsigned kWsDisabled = 0x08000000;
constexpr unsigned kWsTabStop = 0x00010000;
constexpr unsigned kWsExControlParent = 0x00010000;

// SetWindowPos flags.
constexpr unsigned kSwpNoSize = 0x0001;
constexpr unsigned kSwpNoMove = 0x0002;
constexpr unsigned kSwpNoZOrder = 0x0004;
constexpr unsigned kSwpNoActivate = 0x0010;

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

}  // namespace platform

// The application object. One exists per module; its title, the module's
// file name without extension ("ZentrixTvn"), captions AfxMessageBox.
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    const std::string& title() const { return title_; }

private:
    std::string title_;
};

CWinApp* AfxGetApp();

// A message box captioned with the application's title and owned by the
// active window. Returns the button pressed (kIdOk, kIdYes, ...).
int AfxMessageBox(const std::string& text, unsigned type = platform::kMbOk);

class CWnd {
public:
    CWnd() = default;
    explicit CWnd(platform::WindowHandle handle) : handle_(handle) {}
    virtual ~CWnd() = default;

    platform::WindowHandle GetSafeHwnd() const { return handle_; }
    bool IsWindow() const;

    // The child control with this id (a null wrapper when there is none).
    CWnd GetDlgItem(int id) const;
    template <class Control>
    Control Item(int id) const {
        return Control(GetDlgItem(id).GetSafeHwnd());
    }
    int GetDlgCtrlID() const;

    void EnableWindow(bool enable);
    bool IsWindowEnabled() const;
    void ShowWindow(bool show);
    bool IsWindowVisible() const;
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, int state);
    int IsDlgButtonChecked(int id) const;
    void SetFocus();

    // Geometry in pixels: window rectangles in screen coordinates.
    void GetWindowRect(platform::Rect* rect) const;
    void ScreenToClient(platform::Rect* rect) const;
    void MoveWindow(int x, int y, int width, int height, bool repaint = true);
    void SetWindowPos(const CWnd* insertAfter, int x, int y, int width, int height, unsigned flags);
    void ModifyStyle(unsigned remove, unsigned add);
    void ModifyStyleEx(unsigned remove, unsigned add);
    unsigned GetStyle() const;
    unsigned GetExStyle() const;
    void CenterWindow();

    // A message box owned by this window, with a caption of the caller's.
    int MessageBox(const std::string& text, const std::string& caption, unsigned type);

protected:
    platform::WindowHandle handle_ = nullptr;
};

class CSliderCtrl : public CWnd {
public:
    using CWnd::CWnd;
    void SetRange(int minimum, int maximum, bool redraw = false);
    int GetRangeMin() const;
    int GetRangeMax() const;
    int SetLineSize(int size);  // returns the previous line size
    int GetLineSize() const;
    void SetPos(int position);  // kept inside the range
    int GetPos() const;
};

class CButton : public CWnd {
public:
    using CWnd::CWnd;
    void SetCheck(int state);
    int GetCheck() const;
};

class CEdit : public CWnd {
public:
    using CWnd::CWnd;
};

// A list box; with the sorted style new entries are placed without regard
// to case. A change of selection made by code sends no notification.
class CListBox : public CWnd {
public:
    using CWnd::CWnd;
    void ResetContent();
    int AddString(const std::string& text);  // index of the new entry
    int DeleteString(int index);             // entries left, or -1
    int GetCount() const;
    int GetCurSel() const;  // -1 when nothing is selected
    int SetCurSel(int index);  // -1 clears the selection
    std::string GetText(int index) const;
    int SetItemDataPtr(int index, void* data);
    void* GetItemDataPtr(int index) const;  // (void*)-1 for an index out of range
    // The first entry from `startAfter` + 1 whose text equals `text` without
    // regard to case, or -1.
    int FindStringExact(int startAfter, const std::string& text) const;
};

class CTabCtrl : public CWnd {
public:
    using CWnd::CWnd;
    int GetItemCount() const;
    int GetCurSel() const;
};

class CDialog;

class CDataExchange {
public:
    CDataExchange(CDialog* dialog, bool saveAndValidate)
        : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
    // Abandons the exchange: UpdateData returns false (a text that is no
    // number, for instance, after the user has been told so).
    [[noreturn]] void Fail();
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate;  // true: controls to variables
};

void DDX_Slider(CDataExchange* dx, int id, int& position);
void DDX_Check(CDataExchange* dx, int id, int& state);
// Doubles are written with 15 significant digits and read back as doubles.
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Text(CDataExchange* dx, int id, std::string& value);

// A dialog from a template. Modal only.
class CDialog : public CWnd {
public:
    explicit CDialog(int templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog modally: kIdOk, kIdCancel (or the value given to
    // EndDialog), -1 when the dialog cannot be created.
    virtual int DoModal();
    void EndDialog(int result);
    // true: controls to variables; false: variables to controls.
    bool UpdateData(bool saveAndValidate = true);

    int templateId() const { return templateId_; }
    CWnd* parent() const { return parent_; }

    // Handlers. The defaults: OnInitDialog exchanges data into the controls
    // and returns true (focus on the first tab stop); OnOK exchanges data
    // from the controls and ends with kIdOk; OnCancel ends with kIdCancel.
    virtual bool OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);
    // A WM_COMMAND from a child control. The default sends button kIdOk to
    // OnOK and kIdCancel to OnCancel; returns whether it was handled.
    virtual bool OnCommand(int id, int notifyCode);
    // A WM_HSCROLL from a trackbar (or another horizontal scroller). The
    // default does nothing. As on Windows, `position` carries the thumb's
    // position only with kTbThumbTrack and kTbThumbPosition and is 0 with
    // the other codes: read the control's GetPos() instead.
    virtual void OnHScroll(int scrollCode, int position, CWnd* scrollBar);

protected:
    // For CPropertyPage: a dialog window created as a child instead of
    // being run modally.
    bool CreateChild(CWnd* parent);

private:
    friend struct FrameworkAccess;
    int templateId_;
    CWnd* parent_;
};

class CPropertySheet;

class CPropertyPage : public CDialog {
public:
    // captionId 0: the tab shows the template's caption.
    explicit CPropertyPage(int templateId, unsigned captionId = 0);
    // A page still in a sheet leaves it.
    ~CPropertyPage() override;

    // Called when the page becomes the sheet's active page. The default
    // clears the first-activation flag the first time and otherwise
    // exchanges data into the controls; returns true (activation accepted).
    virtual bool OnSetActive();
    // Called when the page is left: exchanges data from the controls.
    virtual bool OnKillActive();

    CPropertySheet* sheet() const { return sheet_; }

private:
    friend class CPropertySheet;
    friend struct FrameworkAccess;
    CPropertySheet* sheet_ = nullptr;
    bool firstSetActive_ = true;
    unsigned captionId_ = 0;
};

// A property sheet embedded as a child window of a dialog: one tab per
// page. A page's window and controls are created on its first activation.
class CPropertySheet : public CWnd {
public:
    explicit CPropertySheet(unsigned captionId, CWnd* parent = nullptr, int selectPage = 0);
    ~CPropertySheet() override;

    void AddPage(CPropertyPage* page);
    void RemovePage(CPropertyPage* page);
    void RemovePage(int index);
    int GetPageCount() const;
    CPropertyPage* GetPage(int index) const;

    void EnableStackedTabs(bool stacked);
    // Creates the sheet as a child window of `parent` and activates the
    // first page.
    bool Create(CWnd* parent, unsigned style, unsigned exStyle);

    // Leaves the active page (OnKillActive) and activates this one
    // (creating its window on the first activation, then OnSetActive).
    bool SetActivePage(int index);
    bool SetActivePage(CPropertyPage* page);
    int GetActiveIndex() const;
    CPropertyPage* GetActivePage() const;
    int GetPageIndex(const CPropertyPage* page) const;
    CTabCtrl GetTabControl() const;

private:
    friend struct FrameworkAccess;
    unsigned captionId_;
    CWnd* parent_;
    int selectPage_;
    bool stackedTabs_ = true;
    int activeIndex_ = -1;
    std::vector<CPropertyPage*> pages_;
};
