// `tovana setup` on Windows: the plug-in shows its real dialog, and the
// user works it directly.
#include "tools/setup_window.h"

namespace tovana {

bool OpenSetupWindow(const Context&, SetupWindow* window, std::string*) {
    window->source = nullptr;
    return true;
}

void CloseSetupWindow(SetupWindow* window) { window->source = nullptr; }

}  // namespace tovana
