// Inside the portable framework: creating and changing windows of the
// window model, and delivering notifications to the framework objects.
// Nothing outside platform/portable includes this.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/event_source.h"
#include "platform/framework.h"
#include "platform/window_model.h"
#include "platform/resource_tables.h"

// Reaches the framework objects' private state (friend of CDialog,
// CPropertyPage and CPropertySheet).
struct FrameworkAccess {
    static void Attach(CWnd* object, platform::portable::WindowKind kind, platform::WindowHandle handle);
    static bool FirstSetActive(CPropertyPage* page) { return page->firstSetActive_; }
    static void SetSheet(CPropertyPage* page, CPropertySheet* sheet) { page->sheet_ = sheet; }
    static bool CreateChild(CDialog* dialog, CWnd* parent) { return dialog->CreateChild(parent); }
    static bool SelectTab(CPropertySheet* sheet, int index);
};

namespace platform::portable {

constexpr char kDialogClass[] = "#32770";
constexpr char kTabClass[] = "SysTabControl32";
constexpr char kTrackbarClass[] = "msctls_trackbar32";

// Win32 values the window model needs beyond those of framework.h.
constexpr unsigned kBsTypeMask = 0x000F;
constexpr unsigned kBsPushButton = 0x0000;
constexpr unsigned kBsDefPushButton = 0x0001;
constexpr unsigned kBsCheckBox = 0x0002;
constexpr unsigned kBsAutoCheckBox = 0x0003;
constexpr unsigned kBsRadioButton = 0x0004;
constexpr unsigned kBs3State = 0x0005;
constexpr unsigned kBsAuto3State = 0x0006;
constexpr unsigned kBsGroupBox = 0x0007;
constexpr unsigned kBsAutoRadioButton = 0x0009;
constexpr unsigned kEsReadOnly = 0x0800;
constexpr unsigned kEsNumber = 0x2000;
constexpr unsigned kEsMultiline = 0x0004;
constexpr unsigned kLbsNotify = 0x0001;
constexpr unsigned kLbsSort = 0x0002;
constexpr unsigned kDsControl = 0x0400;
constexpr unsigned kDsModalFrame = 0x0080;
constexpr unsigned kWsPopup = 0x80000000;
constexpr unsigned kWsCaption = 0x00C00000;
constexpr unsigned kWsSysMenu = 0x00080000;
constexpr unsigned kWsThickFrame = 0x00040000;
constexpr unsigned kTcsMultiline = 0x0200;
constexpr int kTabControlId = 0x3020;
// A single-line edit takes at most this many characters from the user.
constexpr std::size_t kEditTextLimit = 32767;

Window* Get(WindowHandle handle);
// A new window appended to the parent's children (last in the tab order).
Window& NewWindow(WindowKind kind, const std::string& className, WindowHandle parent);
// Destroys the window and its children; their framework objects lose
// their handles, and the focus leaves them.
void DestroyWindowTree(WindowHandle handle);
void SetFocusWindow(WindowHandle handle);
void Touch();
WindowKind KindOfClass(const std::string& className);
WindowHandle FindChild(WindowHandle parent, int id);
// The top-level dialog that contains the window.
WindowHandle TopLevelOf(WindowHandle handle);
// A dialog window and its controls, built from a template.
WindowHandle CreateFromTemplate(const DialogTemplate& dialogTemplate, WindowKind kind, WindowHandle parent,
                                CWnd* object, unsigned removeStyle, unsigned addStyle);
bool IsPushButton(const Window& window);
bool IsVisibleOnScreen(WindowHandle handle);  // the window and all its ancestors
bool IsEnabledWithAncestors(WindowHandle handle);
// The next (or previous) tab stop of the dialog after `from`, walking into
// children that are control parents; null when there is none.
WindowHandle NextTabStop(WindowHandle dialog, WindowHandle from, bool backwards);

// Notifications to the framework object of the control's parent.
void SendCommand(WindowHandle control, int notifyCode);
void SendHScroll(WindowHandle trackbar, int scrollCode, int position);

// The modal dialogs that run, outermost first.
std::vector<WindowHandle>& ModalStack();

// Carries out one user action on the waiting dialog. Returns an empty
// string when the action was carried out (or did nothing, as a click on a
// disabled control does), otherwise why it could not be.
std::string ApplyAction(WindowHandle dialog, const Action& action);
// The caption's close button (or an event source that has nothing more).
void CloseDialog(WindowHandle dialog);

// Shows a message box through the current event source and returns the
// button pressed.
int ShowMessageBox(WindowHandle owner, const std::string& text, const std::string& caption, unsigned type);

// The sheet window inside a dialog (the first found), or null.
WindowHandle FindSheet(WindowHandle dialog);
// The active page window of a sheet window, or null.
WindowHandle ActivePageWindow(WindowHandle sheet);

}  // namespace platform::portable
