// The module's resources as plain tables: what a resource compiler would
// link into the module, for builds that read the resource script at build
// time instead (see ui/rcgen). The framework finds dialog templates and
// strings of the module through the tables registered here; the Windows
// build finds the same resources compiled into the module instead.
#pragma once

#include <cstddef>

namespace platform {

struct ControlTemplate {
    int id;                 // -1 for controls without an id (IDC_STATIC)
    const char* className;  // "BUTTON", "EDIT", "LISTBOX", "STATIC", "msctls_trackbar32", ...
    const char* text;
    unsigned style;    // WS_* | class styles, as the resource compiler computes them
    unsigned exStyle;
    int x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
    int id;
    const char* caption;
    unsigned style;
    unsigned exStyle;
    int x, y, cx, cy;  // dialog units
    const char* fontName;
    int fontPointSize;
    const ControlTemplate* controls;  // in template order (the tab order)
    std::size_t controlCount;
};

struct StringTemplate {
    unsigned id;
    const char* text;
};

struct BitmapTemplate {
    const char* name;            // e.g. "TOOLBARICON"
    const unsigned char* bytes;  // the .bmp file's bytes
    std::size_t size;
};

struct ResourceTables {
    const DialogTemplate* dialogs;
    std::size_t dialogCount;
    const StringTemplate* strings;
    std::size_t stringCount;
    const BitmapTemplate* bitmaps;
    std::size_t bitmapCount;
};

// The plug-in registers its tables once, when it is loaded, and withdraws
// them when it is unloaded. When several modules have registered tables
// (a test program that also loads the plug-in), the latest still loaded
// wins.
void RegisterModuleResources(const ResourceTables* tables);
void UnregisterModuleResources(const ResourceTables* tables);
const ResourceTables* ModuleResources();

const DialogTemplate* FindDialogTemplate(int id);
const char* FindStringResource(unsigned id);  // null when absent

}  // namespace platform
