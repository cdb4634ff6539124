// Where `tovana setup` takes the user's input from: on Linux a window of
// its own (libztgui, loaded only for this command) that plays the user's
// part for the plug-in's dialog; on Windows the plug-in's own dialog,
// which needs nothing from here.
#pragma once

#include <string>

#include "platform/event_source.h"
#include "tools/commands.h"

namespace tovana {

struct SetupWindow {
    platform::EventSource* source = nullptr;  // null: the dialog takes its input itself
    void* library = nullptr;
    void (*destroy)(platform::EventSource*) = nullptr;
};

// False with a message when no window can be shown.
bool OpenSetupWindow(const Context& context, SetupWindow* window, std::string* error);
void CloseSetupWindow(SetupWindow* window);

}  // namespace tovana
