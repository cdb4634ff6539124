// The portable build's windows (platform/portable/ keeps them), as a
// read-only view for whatever shows them (a renderer) and for tests.
//
// Every window the framework creates (modal dialogs, property sheets and
// their pages, controls) is a Window record in one process-wide table,
// reached by its handle. Geometry is in pixels: dialog units are converted
// with the metrics of "MS Sans Serif" 8 point (average character 6 by 13
// pixels). A child's rectangle is relative to its parent's client area,
// which starts at the parent's top-left corner (no frame or caption is
// modelled); a top-level dialog's rectangle is in screen coordinates.
//
// All of this runs on the thread of the modal loop. A renderer reads the
// model while the event source is asked for the next action and acts only
// through the actions it returns.
#pragma once

#include <string>
#include <vector>

#include "platform/framework.h"

class CWnd;

namespace platform::portable {

enum class WindowKind {
    Dialog,    // a modal dialog ("#32770")
    Page,      // a property page, a child dialog inside a sheet ("#32770")
    Sheet,     // an embedded property sheet ("#32770")
    Tab,       // the sheet's tab control ("SysTabControl32")
    Button,    // push button, check box, radio button or group box ("BUTTON")
    Edit,      // "EDIT"
    Static,    // "STATIC"
    ListBox,   // "LISTBOX"
    Trackbar,  // "msctls_trackbar32"
    Other,
};

struct ListEntry {
    std::string text;
    void* data = nullptr;
};

struct Window {
    WindowHandle handle = nullptr;
    WindowKind kind = WindowKind::Other;
    std::string className;
    int id = 0;
    std::string text;
    unsigned style = 0;  // WS_VISIBLE and WS_DISABLED are the visible/enabled state
    unsigned exStyle = 0;
    Rect rect;  // pixels
    WindowHandle parent = nullptr;
    WindowHandle owner = nullptr;  // top-level dialogs: the window they are modal to
    std::vector<WindowHandle> children;  // in z-order, which is the tab order

    // Dialogs and pages.
    std::string fontName;
    int fontPointSize = 0;
    int templateId = 0;

    // Check boxes and radio buttons: 0 cleared, 1 checked, 2 indeterminate.
    int check = 0;

    // Trackbars.
    int rangeMin = 0;
    int rangeMax = 100;
    int position = 0;
    int lineSize = 1;
    int pageSize = 20;

    // List boxes.
    std::vector<ListEntry> entries;
    int selection = -1;

    // Tab controls.
    std::vector<std::string> tabs;
    int currentTab = -1;

    // The framework object behind a dialog, page or sheet window.
    CWnd* object = nullptr;

    // Modal dialogs.
    bool ended = false;
    int result = 0;

    bool visible() const { return (style & kWsVisible) != 0; }
    bool enabled() const { return (style & kWsDisabled) == 0; }
};

// The window behind a handle; null when the handle names no live window.
const Window* LookUp(WindowHandle handle);
// The window's rectangle in screen coordinates.
Rect ScreenRect(WindowHandle handle);
// The window with the keyboard focus, or null.
WindowHandle FocusedWindow();
// The top-level dialogs that run modally, outermost first.
std::vector<WindowHandle> ModalDialogs();
// Counts every change of the model, so that a renderer knows when to redraw.
unsigned long ModelRevision();

// Dialog units to pixels with the dialog font's metrics (6 by 13 pixels
// per average character, 4 by 8 dialog units per character).
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

}  // namespace platform::portable
